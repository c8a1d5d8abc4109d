// Folder and file-name operations over the ANSI Win32 calls.
#include "platform/file_system.h"

#include <windows.h>

#include "platform/win32/wide_text.h"

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

bool RenameToNewName(const std::string& from, const std::string& to) {
    return ::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH) != 0;
}

bool PathExists(const std::string& path) {
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool Unhide(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return false;
    }
    if ((attributes & FILE_ATTRIBUTE_HIDDEN) == 0) {
        return true;
    }
    const DWORD shown = attributes & ~DWORD{FILE_ATTRIBUTE_HIDDEN};
    return ::SetFileAttributesA(path.c_str(), shown != 0 ? shown : FILE_ATTRIBUTE_NORMAL) != 0;
}

bool NameFits(const std::string&, const std::string& name) {
    // Every Windows file system with long names allows 255 UTF-16 units in one name.
    constexpr std::size_t kMaxNameUnits = 255;
    std::wstring wide;
    if (!ToWide(CP_ACP, name, &wide)) {
        return false;
    }
    if (wide.size() > kMaxNameUnits) {
        ::SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    return true;
}

bool FlushFolder(const std::string&) {
    // NTFS journals its folder entries; flushing each file is what makes data durable.
    return true;
}

}  // namespace platform
