// The claim through LockFileEx on a handle of the file's own, held until Release, which the
// system drops when the program ends however it ends. The handle reads nothing and shares
// everything, so that the claimant's own writer, reader and deleter open beside it; writers
// share reading for it (File::Open). The byte locked lies far past any end a file reaches:
// Windows locks are mandatory, and no read or write of the file may meet this one.
#include "platform/file_claim.h"

#include <windows.h>

#include <algorithm>
#include <mutex>
#include <vector>

#include "platform/file.h"
#include "platform/system_error.h"
#include "platform/win32/own_claims.h"
#include "platform/win32/wide_path.h"

namespace platform {

namespace {

constexpr DWORD kLockedByteHigh = 0x7FFFFFFF;

// One claim held: the handle, until the claim is released or its file deleted here.
struct Held {
    std::wstring fullPath;
    HANDLE handle;
};

std::mutex g_heldLock;
std::vector<Held*> g_held;  // every claim held by the program; a job holds one or two

void Unclaim(HANDLE handle) {
    OVERLAPPED at = {};
    at.OffsetHigh = kLockedByteHigh;
    // Unlocked before the close, which also unlocks, but at a time of the system's choosing.
    ::UnlockFileEx(handle, 0, 1, 0, &at);
    ::CloseHandle(handle);
}

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
    // Read access is what LockFileEx asks of a handle. What is claimed for writing is never
    // reached through a link; nothing claimed is anything but a file on a disk.
    const DWORD noLink = use == Use::kWrite ? FILE_FLAG_OPEN_REPARSE_POINT : 0;
    HANDLE handle = ::CreateFileW(wide.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | noLink, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return LastErrorIsNotFound() ? Outcome::kGone : Outcome::kFailed;
    }
    if (::GetFileType(handle) != FILE_TYPE_DISK) {
        ::CloseHandle(handle);
        SetLastRefusal(Refusal::kNotRegular);
        return Outcome::kFailed;
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
        Unclaim(handle);
        return Outcome::kFailed;
    }
    if ((opened.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) !=
        0) {
        Unclaim(handle);
        SetLastRefusal((opened.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0
                           ? Refusal::kLink
                           : Refusal::kNotRegular);
        return Outcome::kFailed;
    }
    if (!StampOf(path, &named)) {
        const bool gone = LastErrorIsNotFound();
        const DWORD error = ::GetLastError();
        Unclaim(handle);
        ::SetLastError(error);
        return gone ? Outcome::kGone : Outcome::kFailed;
    }
    if (named.volume != opened.dwVolumeSerialNumber ||
        named.index != ((std::uint64_t{opened.nFileIndexHigh} << 32) | opened.nFileIndexLow)) {
        Unclaim(handle);
        return Outcome::kGone;
    }
    Held* held = new Held{FullWidePath(wide), handle};
    {
        std::lock_guard<std::mutex> guard(g_heldLock);
        g_held.push_back(held);
    }
    m_handle = reinterpret_cast<std::intptr_t>(held);
    return Outcome::kClaimed;
}

void FileClaim::Release() {
    if (m_handle == -1) {
        return;
    }
    Held* held = reinterpret_cast<Held*>(m_handle);
    m_handle = -1;
    {
        std::lock_guard<std::mutex> guard(g_heldLock);
        g_held.erase(std::remove(g_held.begin(), g_held.end(), held), g_held.end());
    }
    if (held->handle != INVALID_HANDLE_VALUE) {
        Unclaim(held->handle);
    }
    delete held;
}

void ReleaseOwnClaims(const std::wstring& path) {
    const std::wstring full = FullWidePath(path);
    std::lock_guard<std::mutex> guard(g_heldLock);
    for (Held* held : g_held) {
        if (held->handle != INVALID_HANDLE_VALUE &&
            ::CompareStringOrdinal(full.c_str(), static_cast<int>(full.size()),
                                   held->fullPath.c_str(), static_cast<int>(held->fullPath.size()),
                                   TRUE) == CSTR_EQUAL) {
            Unclaim(held->handle);
            held->handle = INVALID_HANDLE_VALUE;
        }
    }
}

}  // namespace platform
