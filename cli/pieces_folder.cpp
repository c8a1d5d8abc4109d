// What the commands share: the pieces' folder an operand names, and whether to draw progress.
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
