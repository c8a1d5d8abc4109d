// The claim through flock(2) on a descriptor of the file itself, which the system drops when
// the program ends however it ends. The lock belongs to the file, not to its name: one taken
// on a file that has just been renamed is given up again, and the name counts as free.
#include "platform/file_claim.h"

#include "platform/posix/close_keeping_error.h"
#include "platform/system_error.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

FileClaim::Outcome FileClaim::Claim(const std::string& path, Use use) {
    Release();
    // What is claimed for writing is never reached through a link; nothing claimed is
    // anything but a file on a disk, and opening it never waits.
    const int noLink = use == Use::kWrite ? O_NOFOLLOW : 0;
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | noLink);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        if (errno == ELOOP && noLink != 0) {
            SetLastRefusal(Refusal::kLink);
        }
        return errno == ENOENT ? Outcome::kGone : Outcome::kFailed;
    }
    int locked;
    do {
        locked = ::flock(fd, (use == Use::kRead ? LOCK_SH : LOCK_EX) | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        const bool taken = errno == EWOULDBLOCK;
        CloseKeepingError(fd);
        return taken ? Outcome::kTaken : Outcome::kFailed;
    }
    // Its holder may have renamed it between the open and the lock.
    struct stat opened;
    struct stat named;
    if (::fstat(fd, &opened) != 0) {
        CloseKeepingError(fd);
        return Outcome::kFailed;
    }
    if (!S_ISREG(opened.st_mode)) {
        ::close(fd);
        SetLastRefusal(Refusal::kNotRegular);
        return Outcome::kFailed;
    }
    if (::stat(path.c_str(), &named) != 0 || named.st_dev != opened.st_dev ||
        named.st_ino != opened.st_ino) {
        ::close(fd);
        return Outcome::kGone;
    }
    m_handle = fd;
    return Outcome::kClaimed;
}

void FileClaim::Release() {
    if (m_handle >= 0) {
        ::close(static_cast<int>(m_handle));
        m_handle = -1;
    }
}

}  // namespace platform
