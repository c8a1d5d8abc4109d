// The last error from errno, described by the C library.
#include "platform/system_error.h"

#include <cerrno>
#include <cstring>

namespace platform {

namespace {

// glibc's strerror_r returns the text (often a constant of its own); the POSIX one fills
// the buffer and returns a status. Only one of the two is used.
[[maybe_unused]] const char* ErrorText(const char* result, const char*) {
    return result;
}
[[maybe_unused]] const char* ErrorText(int, const char* buffer) {
    return buffer;
}

}  // namespace

std::string LastSystemError() {
    const int error = errno;
    char buffer[256] = "";
    return ErrorText(strerror_r(error, buffer, sizeof buffer), buffer);
}

bool LastErrorIsNotFound() {
    return errno == ENOENT;
}

bool LastErrorIsAlreadyThere() {
    return errno == EEXIST;
}

}  // namespace platform
