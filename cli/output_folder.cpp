#include "cli/output_folder.h"

#include <vector>

#include "cli/commands.h"
#include "cli/report.h"
#include "engine/job_paths.h"
#include "platform/code_page.h"
#include "platform/file.h"
#include "platform/file_names.h"
#include "platform/file_system.h"
#include "platform/system_error.h"

namespace cli {

namespace {

// Every path from the start of `path` to the end of one of its names, outermost first:
// "a/b/c" gives "a", "a/b", "a/b/c". Characters are stepped over whole, so a second byte of
// a double-byte character is never taken for a separator.
std::vector<std::string> Prefixes(const std::string& path) {
    std::vector<std::string> prefixes;
    const char* text = path.c_str();
    std::size_t start = 0;
    for (std::size_t i = 0; i <= path.size();
         i += i < path.size() ? platform::CharLength(text + i) : 1) {
        const bool end = i == path.size() || path[i] == '/' || path[i] == platform::kPathSeparator;
        if (end && i > start) {
            prefixes.push_back(path.substr(0, i));
        }
        if (end) {
            start = i + 1;
        }
    }
    return prefixes;
}

// Why `name` would not be taken as given, in words; empty when it would.
std::string NotTaken(const std::string& name) {
    switch (platform::HowNameIsTaken(name)) {
        case platform::NameTaken::kAsGiven:
            return std::string();
        case platform::NameTaken::kDevice:
            return "the name of a device: Windows would open the device";
        case platform::NameTaken::kTrailingDot:
            return "ends in a dot, which Windows drops from names";
        case platform::NameTaken::kTrailingBlank:
            return "ends in a blank, which Windows drops from names";
    }
    return std::string();
}

}  // namespace

bool OutputFolderUsable(const std::string& folder, const std::string& remedy) {
    for (const std::string& prefix : Prefixes(folder)) {
        const std::string name = LastComponent(prefix);
        // "." and "..", and a drive ("D:"), are no names of folders to make.
        if (name == "." || name == ".." || (prefix == name && name.back() == ':')) {
            continue;
        }
        const std::string why = NotTaken(name);
        if (!why.empty()) {
            ReportError(prefix, why + "; " + remedy);
            return false;
        }
    }
    // A file there would only show as a folder that cannot be made, or not be found.
    platform::FileStamp stamp;
    if (platform::StampOf(folder, &stamp) && !stamp.folder) {
        ReportError(folder, "not a folder; " + remedy);
        return false;
    }
    return true;
}

bool FileNameTaken(const std::string& folder, const std::string& name) {
    const std::string why = NotTaken(name);
    if (why.empty()) {
        return true;
    }
    ReportError(InFolder(folder, name), why + "; the pieces cannot be joined under this name here");
    return false;
}

bool ExplainUnmadeFolder(const std::string& folder) {
    if (platform::PathExists(folder)) {
        return false;
    }
    for (const std::string& prefix : Prefixes(folder)) {
        if (platform::PathExists(prefix)) {
            continue;
        }
        if (!platform::CreateFolder(prefix)) {
            ReportError(prefix, "cannot be made: " + platform::LastSystemError());
            return true;
        }
    }
    return false;
}

}  // namespace cli
