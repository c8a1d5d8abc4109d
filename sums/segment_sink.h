// One consumer's work on one segment of the bytes a job copies (the whole file, or one
// piece): the bytes of the segment in order, then its end. The digest pool makes one sink
// per segment in flight, feeds it on one thread at a time (not always the same one) and
// reuses it for a later segment of the same consumer. SHA-256 is one consumer; MD5 and CRC-32
// of the recovery slices inside each piece, or sums of the recovery data, would be others
// over the same bytes.
#pragma once

#include <cstddef>
#include <string>

namespace sums {

class SegmentSink {
public:
    virtual ~SegmentSink() = default;

    // Takes in the next bytes of the segment. False when they could not be taken in: the
    // segment is then lost, and End says why.
    virtual bool Add(const char* data, std::size_t size) = 0;
    // Ends the segment: `result` gets what was computed, or `reason` why nothing was. The
    // next Add starts a new segment either way.
    virtual bool End(std::string* result, std::string* reason) = 0;

    // Whether this sink and `other` can take in their next bytes in one pass (AddWith), as two
    // SHA-256 streams at the same place in their blocks can. Asked while neither is fed.
    virtual bool SharesWith(const SegmentSink& other) const {
        (void)other;
        return false;
    }
    // Takes in `size` bytes at `data` while `other` takes in as many at `otherData` (the same
    // bytes or others), in one pass where SharesWith said so.
    virtual void AddWith(SegmentSink& other,
                         const char* data,
                         const char* otherData,
                         std::size_t size) {
        Add(data, size);
        other.Add(otherData, size);
    }
};

}  // namespace sums
