// A recovery set written packet by packet, to make sets no honest program makes: names that
// reach outside the folder, lengths and counts that cannot be. Shared by the library's tests
// and by recovery_tool, which writes them for the command line's tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "recovery/packets.h"

namespace recovery_test {

class ForgedSet {
public:
    explicit ForgedSet(std::uint64_t sliceSize) : m_sliceSize(sliceSize) {}

    // Describes a file `name` whose bytes are `bytes` (for its MD5s) and which claims to be
    // `claimedLength` long; its slice checksums are zeros. False when hashing failed.
    bool AddFile(const std::string& name, const std::string& bytes, std::uint64_t claimedLength);

    // The packets of the set, then a recovery slice of made-up data per exponent. False when
    // hashing failed.
    bool Bytes(const std::vector<std::uint32_t>& exponents, std::string* out) const;

    // A sound packet of `type` around `body` (a multiple of 4 bytes) for the set `setId`.
    static bool Packet(recovery::PacketType type,
                       const recovery::Md5Digest& setId,
                       const std::string& body,
                       std::string* out);
    // A sound recovery slice packet of `exponent` for the set `setId`, of `data`.
    static bool RecoverySlice(const recovery::Md5Digest& setId,
                              std::uint32_t exponent,
                              const std::string& data,
                              std::string* out);
    // The set ID of the first packet of the recovery file `bytes`.
    static recovery::Md5Digest SetIdOf(const std::string& bytes);
    // Every recovery slice packet of the recovery file `bytes` given other data, with an MD5
    // that fits it: what a sender who wants garbage rebuilt would make.
    static bool Reforge(std::string* bytes);

private:
    std::uint64_t m_sliceSize;
    std::vector<recovery::FileDescriptionPacket> m_files;
    std::vector<recovery::SliceChecksumPacket> m_checksums;
};

}  // namespace recovery_test
