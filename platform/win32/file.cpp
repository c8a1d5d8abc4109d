// Files over Win32 handles. Paths are held in the ANSI code page and handed to the wide
// calls (platform/win32/wide_path.h), which take every length Windows allows.
#include "platform/file.h"

#include <windows.h>

#include "platform/system_error.h"
#include "platform/win32/final_component.h"
#include "platform/win32/own_claims.h"
#include "platform/win32/wide_path.h"
#include "platform/win32/wide_text.h"

namespace platform {

// Each ReadFile and WriteFile costs far more than a system call does elsewhere (under Wine,
// a 1 GiB split takes 8 % less with transfers of 1 MiB than of 128 KiB).
const std::size_t kFileBufferSize = std::size_t{1} << 20;

namespace {

HANDLE AsHandle(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

// The largest count handed to one ReadFile or WriteFile call.
constexpr std::size_t kMaxTransfer = 1u << 30;

}  // namespace

File::~File() {
    if (IsOpen()) {
        Close();
    }
}

bool File::Open(const std::string& path, Access access) {
    if (IsOpen() && !Close()) {
        return false;
    }
    std::wstring wide;
    if (!WidePath(path, &wide)) {
        return false;
    }
    DWORD desired = GENERIC_WRITE;
    // A file being written may be read, so that a claim on it (FileClaim) can hold a handle
    // of its own beside the writer's, and renamed or deleted, as elsewhere; no one else may
    // write it. Claims, not sharing, keep other jobs out.
    DWORD share = FILE_SHARE_READ | FILE_SHARE_DELETE;
    DWORD disposition = OPEN_EXISTING;
    DWORD flags = FILE_ATTRIBUTE_NORMAL;
    switch (access) {
        case Access::kReadShareDenyWrite:
            desired = GENERIC_READ;
            share = FILE_SHARE_READ;
            flags |= FILE_FLAG_SEQUENTIAL_SCAN;
            break;
        case Access::kReadDeletable:
            // Sharing the right to delete lets this program take it later (RemoveOpened)
            // while no one may write; programs that only read are let in as ever.
            desired = GENERIC_READ;
            share = FILE_SHARE_READ | FILE_SHARE_DELETE;
            flags |= FILE_FLAG_SEQUENTIAL_SCAN;
            break;
        case Access::kReadReplaceable:
            desired = GENERIC_READ;
            share = FILE_SHARE_READ | FILE_SHARE_DELETE;
            flags |= FILE_FLAG_OPEN_REPARSE_POINT;
            break;
        case Access::kCreateWrite:
            // Opened as it is, never through a link, and emptied once it is known to be a file.
            disposition = OPEN_ALWAYS;
            flags |= FILE_FLAG_OPEN_REPARSE_POINT;
            break;
        case Access::kCreateNew:
            disposition = CREATE_NEW;
            flags |= FILE_FLAG_OPEN_REPARSE_POINT;
            break;
        case Access::kCreateHidden:
            disposition = CREATE_NEW;
            flags = FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_OPEN_REPARSE_POINT;
            break;
        case Access::kWriteExisting:
            flags |= FILE_FLAG_OPEN_REPARSE_POINT;
            break;
    }
    HANDLE handle =
        ::CreateFileW(wide.c_str(), desired, share, nullptr, disposition, flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    // A link opened as itself is refused, and so is whatever is no file on a disk (a pipe or
    // a device) but a source read once.
    Refusal refusal = Refusal::kNotRegular;
    bool refused = false;
    if (access != Access::kReadDeletable) {
        BY_HANDLE_FILE_INFORMATION info;
        if (::GetFileType(handle) != FILE_TYPE_DISK) {
            refused = true;
        } else if (!::GetFileInformationByHandle(handle, &info)) {
            const DWORD error = ::GetLastError();
            ::CloseHandle(handle);
            ::SetLastError(error);
            return false;
        } else if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
                   (access == Access::kCreateWrite && info.nNumberOfLinks > 1)) {
            // A link opened as itself; or a file with other names, which emptying it would
            // change too.
            refused = true;
            refusal = Refusal::kLink;
        }
    }
    if (refused || (access == Access::kCreateWrite && !::SetEndOfFile(handle))) {
        const DWORD error = ::GetLastError();
        ::CloseHandle(handle);
        ::SetLastError(error);
        if (refused) {
            SetLastRefusal(refusal);
        }
        return false;
    }
    m_handle = reinterpret_cast<std::intptr_t>(handle);
    if (!FromWide(CP_ACP, FullWidePath(wide), &m_fullPath)) {
        m_fullPath = path;
    }
    return true;
}

std::int64_t File::Read(void* buffer, std::size_t size) {
    DWORD got = 0;
    DWORD want = static_cast<DWORD>(size < kMaxTransfer ? size : kMaxTransfer);
    if (!::ReadFile(AsHandle(m_handle), buffer, want, &got, nullptr)) {
        return -1;
    }
    return got;
}

bool File::Write(const void* data, std::size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        DWORD done = 0;
        DWORD want = static_cast<DWORD>(size < kMaxTransfer ? size : kMaxTransfer);
        if (!::WriteFile(AsHandle(m_handle), p, want, &done, nullptr)) {
            return false;
        }
        if (done == 0) {
            ::SetLastError(ERROR_DISK_FULL);
            return false;
        }
        p += done;
        size -= done;
    }
    return true;
}

std::int64_t File::CopyFrom(File&, std::size_t) {
    // No copy inside the system reaches a plain pair of handles here: the caller copies
    // through its buffer.
    ::SetLastError(ERROR_NOT_SUPPORTED);
    return -1;
}

bool File::Seek(std::uint64_t offset) {
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(offset);
    return ::SetFilePointerEx(AsHandle(m_handle), position, nullptr, FILE_BEGIN) != 0;
}

bool File::Truncate(std::uint64_t size) {
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(size);
    return ::SetFilePointerEx(AsHandle(m_handle), position, nullptr, FILE_BEGIN) != 0 &&
           ::SetEndOfFile(AsHandle(m_handle)) != 0;
}

bool File::Flush() {
    return ::FlushFileBuffers(AsHandle(m_handle)) != 0;
}

// FlushFileBuffers is the only way down, and it waits.
void File::StartFlush() {}

bool File::Length(std::uint64_t* length) const {
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(AsHandle(m_handle), &size)) {
        return false;
    }
    *length = static_cast<std::uint64_t>(size.QuadPart);
    return true;
}

namespace {

bool StampOfHandle(HANDLE handle, FileStamp* stamp) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!::GetFileInformationByHandle(handle, &info)) {
        return false;
    }
    stamp->volume = info.dwVolumeSerialNumber;
    stamp->index = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
    stamp->length = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
    stamp->modified =
        static_cast<std::int64_t>((std::uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) |
                                  info.ftLastWriteTime.dwLowDateTime);
    stamp->folder = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    stamp->regular = ::GetFileType(handle) == FILE_TYPE_DISK && !stamp->folder;
    return true;
}

}  // namespace

bool StampOf(const std::string& path, FileStamp* stamp) {
    std::wstring wide;
    if (!WidePath(path, &wide)) {
        return false;
    }
    // Opened for no access at all, which no sharing mode of another program refuses.
    HANDLE handle =
        ::CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    const bool stamped = StampOfHandle(handle, stamp);
    const DWORD error = ::GetLastError();
    ::CloseHandle(handle);
    ::SetLastError(error);
    return stamped;
}

bool File::Stamp(FileStamp* stamp) const {
    return StampOfHandle(AsHandle(m_handle), stamp);
}

bool File::IsAt(const std::string& path) const {
    FileStamp mine;
    FileStamp named;
    if (!Stamp(&mine) || !StampOf(path, &named)) {
        return false;
    }
    if (!mine.SameFile(named)) {
        ::SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    return true;
}

bool File::RemoveOpened(const std::string& path, const FileStamp& stamp) {
    // A second handle, for deleting, keeps writers out as the first did; the name is
    // checked against the open file through it, so that a file put in its place meanwhile
    // is never the one deleted. The file leaves when the last handle closes.
    std::wstring wide;
    HANDLE deleter = INVALID_HANDLE_VALUE;
    if (WidePath(path, &wide)) {
        deleter = ::CreateFileW(wide.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    bool removed = false;
    DWORD error = ::GetLastError();
    if (deleter != INVALID_HANDLE_VALUE) {
        FileStamp named;
        if (!StampOfHandle(deleter, &named)) {
            error = ::GetLastError();
        } else if (!named.SameFile(stamp)) {
            error = ERROR_FILE_NOT_FOUND;
        } else {
            Close();
            removed = ::DeleteFileW(wide.c_str()) != 0;
            error = ::GetLastError();
            if (removed) {
                ReleaseOwnClaims(wide);
            }
        }
        ::CloseHandle(deleter);
    }
    Close();
    ::SetLastError(error);
    return removed;
}

bool File::Close() {
    if (!IsOpen()) {
        return true;
    }
    HANDLE handle = AsHandle(m_handle);
    m_handle = kInvalid;
    m_fullPath.clear();
    return ::CloseHandle(handle) != 0;
}

Leftover RemoveLeftover(const std::string& path) {
    std::wstring wide;
    if (!WidePath(path, &wide)) {
        return Leftover::kFailed;
    }
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? Leftover::kNone
                                                                              : Leftover::kFailed;
    }
    if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
        SetLastRefusal(Refusal::kNotOurs);
        return Leftover::kNotOurs;
    }
    // Sharing nothing: a run that still has the file open, or claimed, keeps it.
    HANDLE handle = ::CreateFileW(wide.c_str(), DELETE, 0, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        if (::GetLastError() == ERROR_SHARING_VIOLATION) {
            SetLastRefusal(Refusal::kInUse);
            return Leftover::kInUse;
        }
        return Leftover::kFailed;
    }
    if (::GetFileType(handle) != FILE_TYPE_DISK) {
        ::CloseHandle(handle);
        SetLastRefusal(Refusal::kNotOurs);
        return Leftover::kNotOurs;
    }
    FILE_DISPOSITION_INFO disposition = {TRUE};
    const bool removed = ::SetFileInformationByHandle(handle, FileDispositionInfo, &disposition,
                                                      sizeof disposition) != 0;
    const DWORD error = ::GetLastError();
    ::CloseHandle(handle);
    ::SetLastError(error);
    return removed ? Leftover::kRemoved : Leftover::kFailed;
}

std::string File::FileName() const {
    return FinalComponent(m_fullPath);
}

}  // namespace platform
