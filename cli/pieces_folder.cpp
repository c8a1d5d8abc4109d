// What the commands share: paths of pieces' folders, and whether to draw progress.
#include "cli/commands.h"

#include "cli/report.h"
#include "engine/job_paths.h"
#include "platform/file.h"
#include "platform/file_system.h"
#include "platform/system_error.h"
#include "platform/terminal.h"

namespace cli {

bool ShowProgress(const Arguments& arguments) {
    return !arguments.quiet && platform::ErrorStreamIsTerminal();
}

std::string LastComponent(const std::string& path) {
    const std::size_t last = LastSeparator(path);
    return last == std::string::npos ? path : path.substr(last + 1);
}

std::string InFolder(const std::string& folder, const std::string& name) {
    std::string path = folder;
    AppendSeparator(&path);
    return path + name;
}

bool PiecesFolder(const std::string& operand, std::string* folder, std::string* fileName) {
    // Only looked at, never opened: opening a pipe would wait for a writer.
    platform::FileStamp stamp;
    if (!platform::StampOf(operand, &stamp)) {
        ReportError(operand, platform::LastSystemError());
        return false;
    }
    *folder = stamp.folder ? operand : FolderOf(operand);
    if (fileName != nullptr) {
        *fileName = stamp.folder ? std::string() : LastComponent(operand);
    }
    return true;
}

}  // namespace cli
