// What the commands share: paths of pieces' folders, and whether to draw progress.
#include "cli/commands.h"

#include "cli/report.h"
#include "engine/job_paths.h"
#include "platform/file.h"
#include "platform/file_system.h"
#include "platform/folder_listing.h"
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

bool PiecesFolder(const std::string& operand, std::string* folder) {
    platform::File file;
    if (file.Open(operand, platform::File::Access::kReadShareDenyWrite)) {
        // Only read: closing it loses nothing.
        file.Close();
        *folder = FolderOf(operand);
        return true;
    }
    // Taken before the listing, which would replace it: for a folder that cannot be read
    // either, the file's reason is the one that says why ("Permission denied").
    const std::string reason = platform::LastSystemError();
    std::string withSeparator = operand;
    AppendSeparator(&withSeparator);
    platform::FolderListing listing;
    if (!listing.Start(withSeparator)) {
        ReportError(operand, reason);
        return false;
    }
    listing.Close();
    *folder = operand;
    return true;
}

}  // namespace cli
