// Folder and file-name operations over the wide Win32 calls (platform/win32/wide_path.h).
#include "platform/file_system.h"

#include <windows.h>

#include "platform/win32/own_claims.h"
#include "platform/win32/wide_path.h"
#include "platform/win32/wide_text.h"

namespace platform {

const char kPathSeparator = '\\';

namespace {

// A reader of a small file holds it for milliseconds; two seconds in all is ample.
constexpr int kBusyRenameAttempts = 100;
constexpr DWORD kBusyRenamePauseMs = 20;

// A file that a rename may replace once nobody holds it open: not a folder, not read-only.
bool IsReplaceableFile(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) == 0;
}

}  // namespace

bool CreateFolder(const std::string& path) {
    std::wstring wide;
    return WidePath(path, &wide) && ::CreateDirectoryW(wide.c_str(), nullptr) != 0;
}

bool RemoveFile(const std::string& path) {
    std::wstring wide;
    if (!WidePath(path, &wide) || !::DeleteFileW(wide.c_str())) {
        return false;
    }
    // The file goes once its last handle closes; a claim of this program's may hold one.
    ReleaseOwnClaims(wide);
    return true;
}

bool RenameFile(const std::string& from, const std::string& to) {
    std::wstring wideFrom;
    std::wstring wideTo;
    if (!WidePath(from, &wideFrom) || !WidePath(to, &wideTo)) {
        return false;
    }
    // Windows replaces no open file, and a claim of this program's on the file replaced (a
    // repair's on the damaged piece 1) holds one; the claim ends with that file anyway.
    ReleaseOwnClaims(wideTo);
    // Another program may hold the file replaced open for a moment: a split reading SHA256SUMS
    // before it takes the list's lock, a join checking its pieces against it. Such a reader
    // is waited for briefly; a file that stays open, or cannot be replaced at all, fails.
    for (int attempt = 0;; ++attempt) {
        if (::MoveFileExW(wideFrom.c_str(), wideTo.c_str(),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return true;
        }
        const DWORD error = ::GetLastError();
        if (attempt == kBusyRenameAttempts ||
            (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) ||
            !IsReplaceableFile(wideTo)) {
            ::SetLastError(error);
            return false;
        }
        ::Sleep(kBusyRenamePauseMs);
    }
}

bool RenameToNewName(const std::string& from, const std::string& to) {
    std::wstring wideFrom;
    std::wstring wideTo;
    return WidePath(from, &wideFrom) && WidePath(to, &wideTo) &&
           ::MoveFileExW(wideFrom.c_str(), wideTo.c_str(), MOVEFILE_WRITE_THROUGH) != 0;
}

bool PathExists(const std::string& path) {
    std::wstring wide;
    return WidePath(path, &wide) && ::GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool Unhide(const std::string& path) {
    std::wstring wide;
    if (!WidePath(path, &wide)) {
        return false;
    }
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return false;
    }
    if ((attributes & FILE_ATTRIBUTE_HIDDEN) == 0) {
        return true;
    }
    const DWORD shown = attributes & ~DWORD{FILE_ATTRIBUTE_HIDDEN};
    return ::SetFileAttributesW(wide.c_str(), shown != 0 ? shown : FILE_ATTRIBUTE_NORMAL) != 0;
}

bool NameFits(const std::string& folder, const std::string& name) {
    // Every Windows file system with long names allows 255 UTF-16 units in one name; a path
    // with the \\?\ prefix, which long ones are given, holds 32767 (a UNICODE_STRING's).
    constexpr std::size_t kMaxNameUnits = 255;
    constexpr std::size_t kMaxPathUnits = 32767;
    std::wstring wideName;
    std::wstring wideFolder;
    if (!ToWide(CP_ACP, name, &wideName) || !ToWide(CP_ACP, folder, &wideFolder)) {
        ::SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    if (!wideFolder.empty() && wideFolder.back() != L'\\' && wideFolder.back() != L'/') {
        wideFolder.push_back(L'\\');
    }
    // "\\?\UNC" is the longest prefix the path may get (one '\' of the UNC path dropped).
    const std::size_t prefix = 7;
    if (wideName.size() > kMaxNameUnits ||
        FullWidePath(wideFolder + wideName).size() + prefix > kMaxPathUnits) {
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
