// The Win32 file calls, redirected here at link time: MinGW calls an imported function
// through its pointer __imp_NAME, and -Wl,--wrap=__imp_NAME makes every such call use the
// pointer __wrap___imp_NAME below, while __real___imp_NAME still reaches the system. On a
// watched thread each call is counted, may fail with ERROR_IO_DEVICE, and feeds the
// ledger; elsewhere it passes through. A failed CloseHandle still closes the handle.
//
// Calls in this file go through __real___imp_NAME only: the plain names lead back here.
#include <windows.h>

#include "tests/faults/fault_injector.h"

using faults::Op;

#define REAL(name) __real___imp_##name
#define WRAP(name, replacement)                          \
    extern "C" {                                         \
    extern decltype(&::name) REAL(name);                 \
    decltype(&::name) __wrap___imp_##name = replacement; \
    }

namespace {

HANDLE WINAPI FaultCreateFileW(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
BOOL WINAPI FaultReadFile(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED);
BOOL WINAPI FaultWriteFile(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
BOOL WINAPI FaultFlushFileBuffers(HANDLE);
BOOL WINAPI FaultCloseHandle(HANDLE);
BOOL WINAPI FaultGetFileSizeEx(HANDLE, PLARGE_INTEGER);
BOOL WINAPI FaultDeleteFileW(LPCWSTR);
BOOL WINAPI FaultCreateDirectoryW(LPCWSTR, LPSECURITY_ATTRIBUTES);
HANDLE WINAPI FaultFindFirstFileW(LPCWSTR, LPWIN32_FIND_DATAW);
BOOL WINAPI FaultFindNextFileW(HANDLE, LPWIN32_FIND_DATAW);
BOOL WINAPI FaultFindClose(HANDLE);

}  // namespace

WRAP(CreateFileW, FaultCreateFileW)
WRAP(ReadFile, FaultReadFile)
WRAP(WriteFile, FaultWriteFile)
WRAP(FlushFileBuffers, FaultFlushFileBuffers)
WRAP(CloseHandle, FaultCloseHandle)
WRAP(GetFileSizeEx, FaultGetFileSizeEx)
WRAP(DeleteFileW, FaultDeleteFileW)
WRAP(CreateDirectoryW, FaultCreateDirectoryW)
WRAP(FindFirstFileW, FaultFindFirstFileW)
WRAP(FindNextFileW, FaultFindNextFileW)
WRAP(FindClose, FaultFindClose)

namespace {

std::intptr_t Key(HANDLE handle) {
    return reinterpret_cast<std::intptr_t>(handle);
}

BOOL Failed() {
    ::SetLastError(ERROR_IO_DEVICE);
    return FALSE;
}

bool Known(HANDLE handle, std::string* path, bool* readOnly) {
    return faults::Watched() && faults::Lookup(Key(handle), path, readOnly);
}

// A path in the ANSI code page, as the ledger holds every path.
std::string Narrow(LPCWSTR wide) {
    const int size = ::WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    std::string text(size > 0 ? static_cast<std::size_t>(size) : 1, '\0');
    ::WideCharToMultiByte(CP_ACP, 0, wide, -1, &text[0], size, nullptr, nullptr);
    text.resize(text.size() - 1);
    return text;
}

HANDLE WINAPI FaultCreateFileW(LPCWSTR widePath,
                               DWORD access,
                               DWORD share,
                               LPSECURITY_ATTRIBUTES security,
                               DWORD disposition,
                               DWORD flags,
                               HANDLE model) {
    if (!faults::Watched()) {
        return REAL(CreateFileW)(widePath, access, share, security, disposition, flags, model);
    }
    const std::string path = Narrow(widePath);
    const bool readOnly = (access & GENERIC_WRITE) == 0;
    if (faults::Fail(Op::kOpen, path, readOnly)) {
        Failed();
        return INVALID_HANDLE_VALUE;
    }
    HANDLE handle = REAL(CreateFileW)(widePath, access, share, security, disposition, flags, model);
    if (handle != INVALID_HANDLE_VALUE) {
        const bool created = disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING;
        faults::Opened(Key(handle), path, readOnly, created);
    }
    return handle;
}

BOOL WINAPI
FaultReadFile(HANDLE file, LPVOID buffer, DWORD size, LPDWORD got, LPOVERLAPPED overlapped) {
    std::string path;
    bool readOnly = false;
    if (Known(file, &path, &readOnly) && faults::Fail(Op::kRead, path, readOnly)) {
        return Failed();
    }
    return REAL(ReadFile)(file, buffer, size, got, overlapped);
}

BOOL WINAPI
FaultWriteFile(HANDLE file, LPCVOID data, DWORD size, LPDWORD done, LPOVERLAPPED overlapped) {
    std::string path;
    bool readOnly = false;
    if (!Known(file, &path, &readOnly)) {
        return REAL(WriteFile)(file, data, size, done, overlapped);
    }
    if (faults::Fail(Op::kWrite, path, readOnly)) {
        return Failed();
    }
    const BOOL result = REAL(WriteFile)(file, data, size, done, overlapped);
    if (result && done != nullptr && *done > 0) {
        faults::Wrote(path);
    }
    return result;
}

BOOL WINAPI FaultFlushFileBuffers(HANDLE file) {
    std::string path;
    bool readOnly = false;
    if (!Known(file, &path, &readOnly)) {
        return REAL(FlushFileBuffers)(file);
    }
    if (faults::Fail(Op::kFlush, path, readOnly)) {
        return Failed();
    }
    const BOOL result = REAL(FlushFileBuffers)(file);
    LARGE_INTEGER size;
    if (result && REAL(GetFileSizeEx)(file, &size)) {
        faults::Flushed(path, static_cast<std::uint64_t>(size.QuadPart));
    }
    return result;
}

BOOL WINAPI FaultCloseHandle(HANDLE handle) {
    std::string path;
    bool readOnly = false;
    if (!Known(handle, &path, &readOnly)) {
        return REAL(CloseHandle)(handle);
    }
    const bool fail = faults::Fail(Op::kClose, path, readOnly);
    const BOOL result = REAL(CloseHandle)(handle);
    faults::Closed(Key(handle));
    return fail ? Failed() : result;
}

BOOL WINAPI FaultGetFileSizeEx(HANDLE file, PLARGE_INTEGER size) {
    std::string path;
    bool readOnly = false;
    if (Known(file, &path, &readOnly) && faults::Fail(Op::kLength, path, readOnly)) {
        return Failed();
    }
    return REAL(GetFileSizeEx)(file, size);
}

BOOL WINAPI FaultDeleteFileW(LPCWSTR widePath) {
    if (!faults::Watched()) {
        return REAL(DeleteFileW)(widePath);
    }
    const std::string path = Narrow(widePath);
    if (faults::Fail(Op::kDelete, path, false)) {
        faults::Deleted(path, false);
        return Failed();
    }
    const BOOL result = REAL(DeleteFileW)(widePath);
    faults::Deleted(path, result != FALSE);
    return result;
}

BOOL WINAPI FaultCreateDirectoryW(LPCWSTR path, LPSECURITY_ATTRIBUTES security) {
    if (faults::Watched() && faults::Fail(Op::kCreateFolder, Narrow(path), false)) {
        return Failed();
    }
    // Windows keeps new folder entries without a flush of their own (see FlushFolder).
    return REAL(CreateDirectoryW)(path, security);
}

HANDLE WINAPI FaultFindFirstFileW(LPCWSTR pattern, LPWIN32_FIND_DATAW data) {
    if (!faults::Watched()) {
        return REAL(FindFirstFileW)(pattern, data);
    }
    const std::string path = Narrow(pattern);
    if (faults::Fail(Op::kList, path, true)) {
        Failed();
        return INVALID_HANDLE_VALUE;
    }
    HANDLE handle = REAL(FindFirstFileW)(pattern, data);
    if (handle != INVALID_HANDLE_VALUE) {
        faults::Opened(Key(handle), path, true, false);
    }
    return handle;
}

BOOL WINAPI FaultFindNextFileW(HANDLE listing, LPWIN32_FIND_DATAW data) {
    std::string path;
    bool readOnly = false;
    if (Known(listing, &path, &readOnly) && faults::Fail(Op::kRead, path, readOnly)) {
        return Failed();
    }
    return REAL(FindNextFileW)(listing, data);
}

BOOL WINAPI FaultFindClose(HANDLE listing) {
    std::string path;
    bool readOnly = false;
    if (!Known(listing, &path, &readOnly)) {
        return REAL(FindClose)(listing);
    }
    const bool fail = faults::Fail(Op::kClose, path, readOnly);
    const BOOL result = REAL(FindClose)(listing);
    faults::Closed(Key(listing));
    return fail ? Failed() : result;
}

}  // namespace
