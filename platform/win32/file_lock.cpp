// The lock through LockFileEx on the lock file's first byte; the system releases it when the
// handle closes, also when the program ends.
#include "platform/file_lock.h"

#include <windows.h>

#include "platform/system_error.h"
#include "platform/win32/wide_path.h"

namespace platform {

bool FileLock::Acquire(const std::string& path) {
    Release();
    std::wstring wide;
    if (!WidePath(path, &wide)) {
        return false;
    }
    // Read access is all that LockFileEx needs. A link there is opened as itself, neither
    // followed nor made a file at its target, and refused.
    HANDLE handle = ::CreateFileW(
        wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_ALWAYS, FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (::GetFileType(handle) != FILE_TYPE_DISK) {
        ::CloseHandle(handle);
        SetLastRefusal(Refusal::kNotRegular);
        return false;
    }
    if (!::GetFileInformationByHandle(handle, &info)) {
        const DWORD error = ::GetLastError();
        ::CloseHandle(handle);
        ::SetLastError(error);
        return false;
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        ::CloseHandle(handle);
        SetLastRefusal(Refusal::kLink);
        return false;
    }
    OVERLAPPED at = {};
    if (!::LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &at)) {
        const DWORD error = ::GetLastError();
        ::CloseHandle(handle);
        ::SetLastError(error);
        return false;
    }
    m_handle = reinterpret_cast<std::intptr_t>(handle);
    return true;
}

void FileLock::Release() {
    if (m_handle != -1) {
        HANDLE handle = reinterpret_cast<HANDLE>(m_handle);
        OVERLAPPED at = {};
        ::UnlockFileEx(handle, 0, 1, 0, &at);
        ::CloseHandle(handle);
        m_handle = -1;
    }
}

}  // namespace platform
