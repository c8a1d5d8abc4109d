// SHA-256 of each segment, as the 64 lower-case hex digits SHA256SUMS holds.
#pragma once

#include "platform/sha256.h"
#include "sums/segment_sink.h"

namespace sums {

class Sha256Sink : public SegmentSink {
public:
    bool Add(const char* data, std::size_t size) override;
    bool End(std::string* result, std::string* reason) override;

private:
    platform::Sha256 m_sha;
    std::string m_reason;  // why an Add of this segment failed
};

}  // namespace sums
