// The last error from errno, described by the C library.
#include "platform/system_error.h"

#include <cerrno>
#include <cstring>

namespace platform {

namespace {

// Above every errno value the system uses.
constexpr int kRefusalBase = 0x5EC0;

const char* RefusalText(int error) {
    switch (error - kRefusalBase) {
        case static_cast<int>(Refusal::kNotRegular):
            return "not a regular file";
        case static_cast<int>(Refusal::kLink):
            return "a link, which is not followed here";
        case static_cast<int>(Refusal::kInUse):
            return "another run is using it";
        case static_cast<int>(Refusal::kNotOurs):
            return "not a file this program left there; remove it";
        default:
            return nullptr;
    }
}

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
    if (const char* refusal = RefusalText(error)) {
        return refusal;
    }
    char buffer[256] = "";
    return ErrorText(strerror_r(error, buffer, sizeof buffer), buffer);
}

bool LastErrorIsNotFound() {
    return errno == ENOENT;
}

bool LastErrorIsAlreadyThere() {
    return errno == EEXIST;
}

void SetLastRefusal(Refusal refusal) {
    errno = kRefusalBase + static_cast<int>(refusal);
}

}  // namespace platform
