// The lock through flock(2), which the system drops when the program ends however it ends.
#include "platform/file_lock.h"

#include "platform/system_error.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

bool FileLock::Acquire(const std::string& path) {
    Release();
    int fd;
    do {
        // Read access is all that flock needs, and all that a lock file is opened for. A link
        // there is neither followed nor made a file at its target, and nothing waits.
        fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        if (errno == ELOOP) {
            SetLastRefusal(Refusal::kLink);
        }
        return false;
    }
    struct stat info;
    if (::fstat(fd, &info) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        SetLastRefusal(Refusal::kNotRegular);
        return false;
    }
    int locked;
    do {
        locked = ::flock(fd, LOCK_EX);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return false;
    }
    m_handle = fd;
    return true;
}

void FileLock::Release() {
    if (m_handle >= 0) {
        // Closing the only descriptor of the lock file releases the lock.
        ::close(static_cast<int>(m_handle));
        m_handle = -1;
    }
}

}  // namespace platform
