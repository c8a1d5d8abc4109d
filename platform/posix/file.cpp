// Files over POSIX descriptors. There are no share modes here: other programs are not
// kept from writing to a file open for reading.
#include "platform/file.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

// Small enough that the bytes are still in the processor's cache when they are written.
const std::size_t kFileBufferSize = std::size_t{128} << 10;

File::~File() {
    if (IsOpen()) {
        Close();
    }
}

bool File::Open(const std::string& path, Access access) {
    if (IsOpen() && !Close()) {
        return false;
    }
    int flags = O_CLOEXEC;
    switch (access) {
        case Access::kReadShareDenyWrite:
        case Access::kReadDeletable:
        case Access::kReadReplaceable:
            flags |= O_RDONLY;
            break;
        case Access::kCreateWrite:
            flags |= O_WRONLY | O_CREAT | O_TRUNC;
            break;
        case Access::kCreateNew:
        case Access::kCreateHidden:
            flags |= O_WRONLY | O_CREAT | O_EXCL;
            break;
        case Access::kWriteExisting:
            flags |= O_WRONLY;
            break;
    }
    int fd;
    do {
        fd = ::open(path.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        return false;
    }
    struct stat info;
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        ::close(fd);
        errno = EISDIR;
        return false;
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

std::string File::FileName() const {
    std::string::size_type slash = m_fullPath.rfind('/');
    return slash == std::string::npos ? m_fullPath : m_fullPath.substr(slash + 1);
}

}  // namespace platform
