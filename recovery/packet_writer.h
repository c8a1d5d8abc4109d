// Whole PAR2 packets, header and MD5 included, ready to be written. One object hashes one
// packet at a time and must not be shared by threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/hash.h"
#include "recovery/packets.h"

namespace recovery {

class PacketWriter {
public:
    PacketWriter() : m_hash(platform::HashAlgorithm::kMd5) {}

    // The Main packet's body, whose MD5 is the recovery set ID: the files whose slices the
    // recovery data covers, then those only described.
    static std::string MainBody(std::uint64_t sliceSize,
                                const std::vector<Md5Digest>& fileIds,
                                const std::vector<Md5Digest>& otherIds);
    static std::string FileDescriptionBody(const FileDescriptionPacket& file);
    static std::string SliceChecksumBody(const SliceChecksumPacket& checksums);
    static std::string CreatorBody(const std::string& text);
    static std::string UnicodeNameBody(const Md5Digest& fileId, const std::u16string& name);

    // Appends to `out` a packet of `type` for the set `setId` around `body` (a multiple of
    // 4 bytes). False when hashing failed, with the system's error set.
    bool Append(PacketType type, const Md5Digest& setId, const std::string& body, std::string* out);

    // A recovery slice packet is hashed as its data streams past: Start, then Add the data
    // in order, then Finish gives the 68 bytes (header and exponent) that go before it.
    bool StartRecoverySlice(const Md5Digest& setId, std::uint32_t exponent);
    // What a recovery slice packet's hash covers before its data, and its head (header and
    // exponent) once that hash is known: for slices hashed elsewhere.
    static std::string RecoverySlicePrefix(const Md5Digest& setId, std::uint32_t exponent);
    static std::string RecoverySliceHead(const Md5Digest& setId,
                                         std::uint32_t exponent,
                                         std::uint64_t dataLength,
                                         const Md5Digest& packetHash);
    bool AddRecoveryData(const void* data, std::size_t size);
    bool FinishRecoverySlice(std::uint64_t dataLength, std::string* head);

    // MD5 of `size` bytes.
    bool Md5(const void* data, std::size_t size, Md5Digest* digest);

private:
    platform::Hash m_hash;
    Md5Digest m_setId;
    std::uint32_t m_exponent = 0;
};

}  // namespace recovery
