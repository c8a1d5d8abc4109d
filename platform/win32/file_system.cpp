// Folder and file-name operations over the ANSI Win32 calls.
#include "platform/file_system.h"

#include <windows.h>

namespace platform {

const char kPathSeparator = '\\';

bool CreateFolder(const std::string& path) {
    return ::CreateDirectoryA(path.c_str(), nullptr) != 0;
}

bool RemoveFile(const std::string& path) {
    return ::DeleteFileA(path.c_str()) != 0;
}

bool RenameFile(const std::string& from, const std::string& to) {
    return ::MoveFileExA(from.c_str(), to.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool PathExists(const std::string& path) {
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool FlushFolder(const std::string&) {
    // NTFS journals its folder entries; flushing each file is what makes data durable.
    return true;
}

}  // namespace platform
