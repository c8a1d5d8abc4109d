// Closing a descriptor on a failure path without losing the error that caused it.
#pragma once

#include <unistd.h>

#include <cerrno>

namespace platform {

// Closes `fd` and leaves errno as it was, for the caller's message.
inline void CloseKeepingError(int fd) {
    const int error = errno;
    ::close(fd);
    errno = error;
}

}  // namespace platform
