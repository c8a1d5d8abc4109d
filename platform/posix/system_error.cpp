// The last error from errno, described by the C library.
#include "platform/system_error.h"

#include <cerrno>
#include <cstring>

namespace platform {

namespace {

// Above every errno value the system uses.
constexpr int kRefusalBase = 0x5EC0;

// The refusal the error value stands for; false for a value of the system's own.
bool IsRefusal(int error, Refusal* refusal) {
    const int n = error - kRefusalBase;
    if (n < static_cast<int>(Refusal::kNotRegular) || n > static_cast<int>(Refusal::kNotOurs)) {
        return false;
    }
    *refusal = static_cast<Refusal>(n);
    return true;
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
    Refusal refusal;
    if (IsRefusal(error, &refusal)) {
        return RefusalWords(refusal);
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
