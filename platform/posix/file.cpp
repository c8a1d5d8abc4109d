// Files over POSIX descriptors. There are no share modes here: other programs are not
// kept from writing to a file open for reading.
#include "platform/file.h"

#include "platform/posix/close_keeping_error.h"
#include "platform/system_error.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

// Small enough that the bytes are still in the processor's cache when they are written.
const std::size_t kFileBufferSize = std::size_t{64} << 10;

File::~File() {
    if (IsOpen()) {
        Close();
    }
}

namespace {

// The open flags for `access`; whether only a regular file will do, and whether it is to be
// emptied once it is known to be one.
int OpenFlags(File::Access access, bool* regularOnly, bool* empty) {
    *regularOnly = true;
    *empty = false;
    switch (access) {
        case File::Access::kReadShareDenyWrite:
            return O_RDONLY | O_NONBLOCK;
        case File::Access::kReadReplaceable:
            return O_RDONLY | O_NONBLOCK | O_NOFOLLOW;
        case File::Access::kReadDeletable:
            *regularOnly = false;
            return O_RDONLY;
        case File::Access::kCreateWrite:
            // Emptied only once it is known to be a file: O_TRUNC would reach a device.
            *empty = true;
            return O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK;
        case File::Access::kCreateNew:
        case File::Access::kCreateHidden:
            return O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW;
        case File::Access::kWriteExisting:
            return O_WRONLY | O_NOFOLLOW | O_NONBLOCK;
    }
    return O_RDONLY | O_NONBLOCK;
}

}  // namespace

bool File::Open(const std::string& path, Access access) {
    if (IsOpen() && !Close()) {
        return false;
    }
    bool regularOnly = true;
    bool empty = false;
    const int flags = OpenFlags(access, &regularOnly, &empty) | O_CLOEXEC;
    int fd;
    do {
        fd = ::open(path.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        if (errno == ELOOP && (flags & O_NOFOLLOW) != 0) {
            SetLastRefusal(Refusal::kLink);
        } else if (errno == ENXIO && (flags & O_NONBLOCK) != 0) {
            SetLastRefusal(Refusal::kNotRegular);  // a FIFO no one reads, a device
        }
        return false;
    }
    struct stat info;
    if (::fstat(fd, &info) != 0) {
        CloseKeepingError(fd);
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        ::close(fd);
        errno = EISDIR;
        return false;
    }
    // A character device (a terminal, /dev/full) only the system makes: written, never read.
    const bool device = S_ISCHR(info.st_mode) && (flags & O_ACCMODE) == O_WRONLY;
    if (regularOnly && !S_ISREG(info.st_mode) && !device) {
        ::close(fd);
        SetLastRefusal(Refusal::kNotRegular);
        return false;
    }
    // Waiting is what a file on a disk never does; the flag goes for what follows.
    if ((flags & O_NONBLOCK) != 0) {
        const int status = ::fcntl(fd, F_GETFL);
        if (status < 0 || ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0) {
            CloseKeepingError(fd);
            return false;
        }
    }
    // A file with other names is never emptied: writing it would change those files too.
    if (empty && !device && info.st_nlink > 1) {
        ::close(fd);
        SetLastRefusal(Refusal::kLink);
        return false;
    }
    if (empty && !device) {
        int cut;
        do {
            cut = ::ftruncate(fd, 0);
        } while (cut != 0 && errno == EINTR);
        if (cut != 0) {
            CloseKeepingError(fd);
            return false;
        }
    }
    if (access == Access::kReadShareDenyWrite || access == Access::kReadDeletable) {
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    }
    m_handle = fd;
    m_fullPath = path;
    return true;
}

std::int64_t File::Read(void* buffer, std::size_t size) {
    ssize_t n;
    do {
        n = ::read(static_cast<int>(m_handle), buffer, size);
    } while (n < 0 && errno == EINTR);
    return n;
}

bool File::Write(const void* data, std::size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = ::write(static_cast<int>(m_handle), p, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (n == 0) {
                errno = ENOSPC;
            }
            return false;
        }
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

std::int64_t File::CopyFrom(File& source, std::size_t size) {
    ssize_t n;
    do {
        n = ::copy_file_range(static_cast<int>(source.m_handle), nullptr,
                              static_cast<int>(m_handle), nullptr, size, 0);
    } while (n < 0 && errno == EINTR);
    return n;
}

bool File::Seek(std::uint64_t offset) {
    return ::lseek(static_cast<int>(m_handle), static_cast<off_t>(offset), SEEK_SET) >= 0;
}

bool File::Truncate(std::uint64_t size) {
    int result;
    do {
        result = ::ftruncate(static_cast<int>(m_handle), static_cast<off_t>(size));
    } while (result != 0 && errno == EINTR);
    return result == 0;
}

bool File::Flush() {
    return ::fsync(static_cast<int>(m_handle)) == 0;
}

void File::StartFlush() {
    ::sync_file_range(static_cast<int>(m_handle), 0, 0, SYNC_FILE_RANGE_WRITE);
}

bool File::Length(std::uint64_t* length) const {
    struct stat info;
    if (::fstat(static_cast<int>(m_handle), &info) != 0) {
        return false;
    }
    *length = static_cast<std::uint64_t>(info.st_size);
    return true;
}

namespace {

void ToStamp(const struct stat& info, FileStamp* stamp) {
    stamp->volume = static_cast<std::uint64_t>(info.st_dev);
    stamp->index = static_cast<std::uint64_t>(info.st_ino);
    stamp->length = static_cast<std::uint64_t>(info.st_size);
    stamp->modified =
        static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    stamp->regular = S_ISREG(info.st_mode);
    stamp->folder = S_ISDIR(info.st_mode);
}

}  // namespace

bool StampOf(const std::string& path, FileStamp* stamp) {
    struct stat info;
    if (::stat(path.c_str(), &info) != 0) {
        return false;
    }
    ToStamp(info, stamp);
    return true;
}

bool File::Stamp(FileStamp* stamp) const {
    struct stat info;
    if (::fstat(static_cast<int>(m_handle), &info) != 0) {
        return false;
    }
    ToStamp(info, stamp);
    return true;
}

bool File::IsAt(const std::string& path) const {
    struct stat mine;
    struct stat named;
    if (::fstat(static_cast<int>(m_handle), &mine) != 0) {
        return false;
    }
    if (mine.st_nlink == 0 || ::stat(path.c_str(), &named) != 0 || named.st_dev != mine.st_dev ||
        named.st_ino != mine.st_ino) {
        errno = ENOENT;
        return false;
    }
    return true;
}

bool File::RemoveOpened(const std::string& path, const FileStamp& stamp) {
    // The name is checked against the open file, so that a file put in its place meanwhile
    // is never the one deleted.
    FileStamp named;
    bool removed = false;
    if (StampOf(path, &named)) {
        if (named.SameFile(stamp)) {
            removed = ::unlink(path.c_str()) == 0;
        } else {
            errno = ENOENT;
        }
    }
    const int error = errno;
    Close();
    errno = error;
    return removed;
}

bool File::Close() {
    if (!IsOpen()) {
        return true;
    }
    int fd = static_cast<int>(m_handle);
    m_handle = kInvalid;
    m_fullPath.clear();
    // On Linux the descriptor is released even when close reports EINTR.
    return ::close(fd) == 0 || errno == EINTR;
}

Leftover RemoveLeftover(const std::string& path) {
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        if (errno == ENOENT) {
            return Leftover::kNone;
        }
        if (errno == ELOOP) {
            SetLastRefusal(Refusal::kNotOurs);
            return Leftover::kNotOurs;
        }
        return Leftover::kFailed;
    }
    struct stat opened;
    if (::fstat(fd, &opened) != 0) {
        CloseKeepingError(fd);
        return Leftover::kFailed;
    }
    if (!S_ISREG(opened.st_mode)) {
        ::close(fd);
        SetLastRefusal(Refusal::kNotOurs);
        return Leftover::kNotOurs;
    }
    // A run holds its files by a claim (FileClaim) until it has renamed or removed them;
    // the lock taken here keeps the creator of a new file at the name from taking it until
    // it is gone, which that creator then sees.
    int locked;
    do {
        locked = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        const bool held = errno == EWOULDBLOCK;
        CloseKeepingError(fd);
        if (held) {
            SetLastRefusal(Refusal::kInUse);
            return Leftover::kInUse;
        }
        return Leftover::kFailed;
    }
    struct stat named;
    if (::lstat(path.c_str(), &named) != 0 || named.st_dev != opened.st_dev ||
        named.st_ino != opened.st_ino) {
        // Replaced meanwhile: by another run, whose file it now is.
        ::close(fd);
        SetLastRefusal(Refusal::kInUse);
        return Leftover::kInUse;
    }
    if (::unlink(path.c_str()) != 0) {
        CloseKeepingError(fd);
        return Leftover::kFailed;
    }
    ::close(fd);
    return Leftover::kRemoved;
}

std::string File::FileName() const {
    std::string::size_type slash = m_fullPath.rfind('/');
    return slash == std::string::npos ? m_fullPath : m_fullPath.substr(slash + 1);
}

}  // namespace platform
