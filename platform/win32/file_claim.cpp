// The claim through LockFileEx on a handle of the file's own, held until Release, which the
// system drops when the program ends however it ends. The handle reads nothing and shares
// everything, so that the claimant's own writer, reader and deleter open beside it; writers
// share reading for it (File::Open). The byte locked lies far past any end a file reaches:
// Windows locks are mandatory, and no read or write of the file may meet this one.
#include "platform/file_claim.h"

#include <windows.h>

#include "platform/file.h"
#include "platform/win32/wide_path.h"

namespace platform {

namespace {

constexpr DWORD kLockedByteHigh = 0x7FFFFFFF;

void CloseKeepingError(HANDLE handle) {
    const DWORD error = ::GetLastError();
    ::CloseHandle(handle);
    ::SetLastError(error);
}

}  // namespace

FileClaim::Outcome FileClaim::Claim(const std::string& path, Use use) {
    Release();
    std::wstring wide;
    if (!WidePath(path, &wide)) {
        return Outcome::kFailed;
    }
    // Read access is what LockFileEx asks of a handle.
    HANDLE handle = ::CreateFileW(wide.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? Outcome::kGone
                                                                              : Outcome::kFailed;
    }
    OVERLAPPED at = {};
    at.OffsetHigh = kLockedByteHigh;
    const DWORD flags =
        LOCKFILE_FAIL_IMMEDIATELY | (use == Use::kWrite ? LOCKFILE_EXCLUSIVE_LOCK : 0);
    if (!::LockFileEx(handle, flags, 0, 1, 0, &at)) {
        const bool taken = ::GetLastError() == ERROR_LOCK_VIOLATION;
        CloseKeepingError(handle);
        return taken ? Outcome::kTaken : Outcome::kFailed;
    }
    // Its holder may have renamed it, or another file taken its name, between the open and
    // the lock: the claim is on the file, not on the name.
    BY_HANDLE_FILE_INFORMATION opened;
    FileStamp named;
    if (!::GetFileInformationByHandle(handle, &opened)) {
        CloseKeepingError(handle);
        return Outcome::kFailed;
    }
    if (!StampOf(path, &named) || named.volume != opened.dwVolumeSerialNumber ||
        named.index != ((std::uint64_t{opened.nFileIndexHigh} << 32) | opened.nFileIndexLow)) {
        ::CloseHandle(handle);
        return Outcome::kGone;
    }
    m_handle = reinterpret_cast<std::intptr_t>(handle);
    return Outcome::kClaimed;
}

void FileClaim::Release() {
    if (m_handle != -1) {
        // Unlocked before the close, which also unlocks, but at a time of the system's choosing.
        HANDLE handle = reinterpret_cast<HANDLE>(m_handle);
        OVERLAPPED at = {};
        at.OffsetHigh = kLockedByteHigh;
        ::UnlockFileEx(handle, 0, 1, 0, &at);
        ::CloseHandle(handle);
        m_handle = -1;
    }
}

}  // namespace platform
