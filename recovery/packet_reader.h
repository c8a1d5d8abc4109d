// Reads the packets of one PAR2 file, treating it as untrusted: a packet whose MD5 does not
// match, or whose lengths or counts are impossible, is skipped as a damaged one, and the
// reader looks for the next packet's magic. No size read from the file sizes an allocation
// beyond the bounds below.
#pragma once

#include <cstdint>

#include "platform/hash.h"
#include "recovery/byte_source.h"
#include "recovery/keep_going.h"
#include "recovery/packets.h"

namespace recovery {

class PacketReader {
public:
    // The largest body of a packet other than a recovery slice: a slice checksum packet of
    // 32768 slices, or a main packet of 65536 files, fits.
    static constexpr std::uint64_t kMaxMetadataBody = std::uint64_t{1} << 20;
    // The largest slice size a main packet may give.
    static constexpr std::uint64_t kMaxSliceSize = std::uint64_t{1} << 40;

    enum class Outcome { kRead, kReadError, kStopped };

    PacketReader() : m_hash(platform::HashAlgorithm::kMd5) {}

    // Adds the sound packets of `source` to `packets`. kReadError with the system's error
    // set when the source could not be read; kStopped when `keepGoing` said so.
    Outcome Read(ByteSource& source, const KeepGoing& keepGoing, PacketCollection* packets);

private:
    platform::Hash m_hash;
};

}  // namespace recovery
