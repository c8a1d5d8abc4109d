#include "sums/sha256_sink.h"

#include "platform/system_error.h"
#include "sums/sha256_blocks.h"

namespace sums {

namespace {

std::string Reason() {
    const std::string reason = platform::LastSystemError();
    return reason.empty() ? "hashing failed" : reason;
}

}  // namespace

Sha256Sink::Sha256Sink(bool instructions)
    : m_instructions(instructions && Sha256BlocksAvailable()) {}

bool Sha256Sink::Add(const char* data, std::size_t size) {
    if (m_instructions) {
        m_stream.Update(data, size);
        return true;
    }
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
    if (m_instructions) {
        *result = m_stream.Finish();
        return true;
    }
    std::string failure;
    failure.swap(m_reason);
    if (m_sha.Finish(result)) {
        return true;
    }
    *reason = failure.empty() ? Reason() : failure;
    return false;
}

bool Sha256Sink::SharesWith(const SegmentSink& other) const {
    const auto* sha = dynamic_cast<const Sha256Sink*>(&other);
    return m_instructions && sha != nullptr && sha->m_instructions &&
           m_stream.Offset() == sha->m_stream.Offset();
}

void Sha256Sink::AddWith(SegmentSink& other,
                         const char* data,
                         const char* otherData,
                         std::size_t size) {
    Sha256Stream::UpdateBoth(m_stream, data, static_cast<Sha256Sink&>(other).m_stream, otherData,
                             size);
}

}  // namespace sums
