#include "tests/fuzz/recorded_folders.h"

#include "platform/file_names.h"
#include "platform/file_system.h"

std::vector<std::string>& RecordedFolders() {
    static std::vector<std::string> folders;
    return folders;
}

namespace platform {

const char kPathSeparator = '\\';

bool CreateFolder(const std::string& path) {
    RecordedFolders().push_back(path);
    return true;
}

bool SameFileName(const std::string& a, const std::string& b) {
    return a == b;
}

}  // namespace platform
