// SHA-256 of each segment, as the 64 lower-case hex digits SHA256SUMS holds: with the
// processor's SHA instructions where it has them, so that two segments fed the same bytes
// (a piece and the whole file around it), or two segments fed as many bytes each (two
// pieces), share one pass; else with the system's hash.
#pragma once

#include "platform/sha256.h"
#include "sums/segment_sink.h"
#include "sums/sha256_stream.h"

namespace sums {

class Sha256Sink : public SegmentSink {
public:
    // With the processor's instructions where it has them, unless `instructions` is false.
    explicit Sha256Sink(bool instructions = true);

    bool Add(const char* data, std::size_t size) override;
    bool End(std::string* result, std::string* reason) override;
    bool SharesWith(const SegmentSink& other) const override;
    void AddWith(SegmentSink& other,
                 const char* data,
                 const char* otherData,
                 std::size_t size) override;

private:
    const bool m_instructions;  // the processor's instructions, not the system's hash
    Sha256Stream m_stream;      // with them
    platform::Sha256 m_sha;     // without them
    std::string m_reason;       // why an Add of this segment failed
};

}  // namespace sums
