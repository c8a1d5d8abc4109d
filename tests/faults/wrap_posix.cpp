// The C library's file calls, redirected here with -Wl,--wrap=NAME: on a watched thread
// each call is counted, may fail with EIO, and feeds the ledger; elsewhere it passes
// through untouched. A failed close still closes, as close(2) does on Linux.
#include <cerrno>
#include <cstdarg>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/faults/fault_injector.h"

using faults::Op;

extern "C" {

int __real_open(const char* path, int flags, ...);
ssize_t __real_read(int fd, void* buffer, size_t size);
ssize_t __real_write(int fd, const void* data, size_t size);
ssize_t __real_copy_file_range(int in,
                               off64_t* inAt,
                               int out,
                               off64_t* outAt,
                               size_t size,
                               unsigned flags);
int __real_fsync(int fd);
int __real_close(int fd);
int __real_fstat(int fd, struct stat* info);
int __real_unlink(const char* path);
int __real_rename(const char* from, const char* to);
int __real_mkdir(const char* path, mode_t mode);
DIR* __real_opendir(const char* path);
struct dirent* __real_readdir(DIR* dir);
int __real_closedir(DIR* dir);

}  // extern "C"

namespace {

int Failed() {
    errno = EIO;
    return -1;
}

// A descriptor or listing the job opened, or false.
bool Known(std::intptr_t handle, std::string* path, bool* readOnly) {
    return faults::Watched() && faults::Lookup(handle, path, readOnly);
}

}  // namespace

extern "C" {

int __wrap_open(const char* path, int flags, ...) {
    mode_t mode = 0;
    if ((flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE) {
        va_list args;
        va_start(args, flags);
        mode = static_cast<mode_t>(va_arg(args, int));
        va_end(args);
    }
    if (!faults::Watched()) {
        return __real_open(path, flags, mode);
    }
    const bool readOnly = (flags & O_ACCMODE) == O_RDONLY;
    if (faults::Fail(Op::kOpen, path, readOnly)) {
        return Failed();
    }
    const int fd = __real_open(path, flags, mode);
    if (fd >= 0) {
        const bool created = (flags & (O_CREAT | O_TRUNC)) != 0;
        faults::Opened(fd, path, readOnly, created);
        if ((flags & O_CREAT) != 0) {
            faults::EntryAdded(faults::Parent(path));
        }
    }
    return fd;
}

ssize_t __wrap_read(int fd, void* buffer, size_t size) {
    std::string path;
    bool readOnly = false;
    if (!Known(fd, &path, &readOnly)) {
        return __real_read(fd, buffer, size);
    }
    if (faults::Fail(Op::kRead, path, readOnly)) {
        return Failed();
    }
    return __real_read(fd, buffer, size);
}

ssize_t __wrap_write(int fd, const void* data, size_t size) {
    std::string path;
    bool readOnly = false;
    if (!Known(fd, &path, &readOnly)) {
        return __real_write(fd, data, size);
    }
    if (faults::Fail(Op::kWrite, path, readOnly)) {
        return Failed();
    }
    const ssize_t written = __real_write(fd, data, size);
    if (written > 0) {
        faults::Wrote(path);
    }
    return written;
}

// Counted once, on the file written; a failure leaves the copy to the buffers.
ssize_t __wrap_copy_file_range(int in,
                               off64_t* inAt,
                               int out,
                               off64_t* outAt,
                               size_t size,
                               unsigned flags) {
    std::string path;
    bool readOnly = false;
    if (!Known(out, &path, &readOnly)) {
        return __real_copy_file_range(in, inAt, out, outAt, size, flags);
    }
    if (faults::Fail(Op::kCopy, path, readOnly)) {
        return Failed();
    }
    if (faults::CopyEndsEarly()) {
        return 0;
    }
    const ssize_t copied = __real_copy_file_range(in, inAt, out, outAt, size, flags);
    if (copied > 0) {
        faults::Wrote(path);
    }
    return copied;
}

int __wrap_fsync(int fd) {
    std::string path;
    bool readOnly = false;
    if (!Known(fd, &path, &readOnly)) {
        return __real_fsync(fd);
    }
    if (faults::Fail(Op::kFlush, path, readOnly)) {
        return Failed();
    }
    const int result = __real_fsync(fd);
    struct stat info;
    if (result == 0 && __real_fstat(fd, &info) == 0) {
        if (S_ISDIR(info.st_mode)) {
            faults::FolderFlushed(path);
        } else {
            faults::Flushed(path, static_cast<std::uint64_t>(info.st_size));
        }
    }
    return result;
}

int __wrap_close(int fd) {
    std::string path;
    bool readOnly = false;
    if (!Known(fd, &path, &readOnly)) {
        return __real_close(fd);
    }
    const bool fail = faults::Fail(Op::kClose, path, readOnly);
    const int result = __real_close(fd);
    faults::Closed(fd);
    return fail ? Failed() : result;
}

int __wrap_fstat(int fd, struct stat* info) {
    std::string path;
    bool readOnly = false;
    if (!Known(fd, &path, &readOnly)) {
        return __real_fstat(fd, info);
    }
    if (faults::Fail(Op::kLength, path, readOnly)) {
        return Failed();
    }
    return __real_fstat(fd, info);
}

int __wrap_unlink(const char* path) {
    if (!faults::Watched()) {
        return __real_unlink(path);
    }
    if (faults::Fail(Op::kDelete, path, false)) {
        faults::Deleted(path, false);
        return Failed();
    }
    const int result = __real_unlink(path);
    faults::Deleted(path, result == 0);
    return result;
}

int __wrap_rename(const char* from, const char* to) {
    if (!faults::Watched()) {
        return __real_rename(from, to);
    }
    if (faults::Fail(Op::kRename, from, false)) {
        return Failed();
    }
    const int result = __real_rename(from, to);
    if (result == 0) {
        faults::Renamed(from, to);
    }
    return result;
}

int __wrap_mkdir(const char* path, mode_t mode) {
    if (!faults::Watched()) {
        return __real_mkdir(path, mode);
    }
    if (faults::Fail(Op::kCreateFolder, path, false)) {
        return Failed();
    }
    const int result = __real_mkdir(path, mode);
    if (result == 0) {
        faults::EntryAdded(faults::Parent(path));
    }
    return result;
}

DIR* __wrap_opendir(const char* path) {
    if (!faults::Watched()) {
        return __real_opendir(path);
    }
    if (faults::Fail(Op::kList, path, true)) {
        errno = EIO;
        return nullptr;
    }
    DIR* dir = __real_opendir(path);
    if (dir != nullptr) {
        faults::Opened(reinterpret_cast<std::intptr_t>(dir), path, true, false);
    }
    return dir;
}

struct dirent* __wrap_readdir(DIR* dir) {
    std::string path;
    bool readOnly = false;
    if (!Known(reinterpret_cast<std::intptr_t>(dir), &path, &readOnly)) {
        return __real_readdir(dir);
    }
    if (faults::Fail(Op::kRead, path, readOnly)) {
        errno = EIO;
        return nullptr;
    }
    return __real_readdir(dir);
}

int __wrap_closedir(DIR* dir) {
    std::string path;
    bool readOnly = false;
    if (!Known(reinterpret_cast<std::intptr_t>(dir), &path, &readOnly)) {
        return __real_closedir(dir);
    }
    const bool fail = faults::Fail(Op::kClose, path, readOnly);
    const int result = __real_closedir(dir);
    faults::Closed(reinterpret_cast<std::intptr_t>(dir));
    return fail ? Failed() : result;
}

}  // extern "C"
