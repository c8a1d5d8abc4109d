#include "sums/sha256_sink.h"

#include "platform/system_error.h"

namespace sums {

namespace {

std::string Reason() {
    const std::string reason = platform::LastSystemError();
    return reason.empty() ? "hashing failed" : reason;
}

}  // namespace

bool Sha256Sink::Add(const char* data, std::size_t size) {
    if (m_sha.Update(data, size)) {
        return true;
    }
    // Only the first failure says why; later updates of the segment fail because of it.
    if (m_reason.empty()) {
        m_reason = Reason();
    }
    return false;
}

bool Sha256Sink::End(std::string* result, std::string* reason) {
    std::string failure;
    failure.swap(m_reason);
    if (m_sha.Finish(result)) {
        return true;
    }
    *reason = failure.empty() ? Reason() : failure;
    return false;
}

}  // namespace sums
