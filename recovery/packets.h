// The packets of PAR2 files as read: each with the recovery set it belongs to. Only packets
// whose MD5 matched and whose fields fit together are kept.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "recovery/packet_format.h"

namespace recovery {

struct MainPacket {
    Md5Digest setId{};
    Md5Digest bodyHash{};  // what the set ID should be
    std::uint64_t sliceSize = 0;
    std::vector<Md5Digest> recoveryFileIds;  // in the order that numbers the input slices
    std::vector<Md5Digest> otherFileIds;     // files described but not recoverable
};

struct FileDescriptionPacket {
    Md5Digest setId{};
    Md5Digest fileId{};
    Md5Digest md5{};
    Md5Digest md5First16k{};
    std::uint64_t length = 0;
    std::string name;  // as the packet holds it (UTF-8 by convention), padding removed
};

struct SliceChecksum {
    Md5Digest md5{};
    std::uint32_t crc32 = 0;
};

struct SliceChecksumPacket {
    Md5Digest setId{};
    Md5Digest fileId{};
    std::vector<SliceChecksum> slices;
};

// A recovery slice is not kept in memory: where its data lies in its file.
struct RecoverySliceLocation {
    Md5Digest setId{};
    std::uint32_t exponent = 0;
    std::uint64_t dataOffset = 0;
    std::uint64_t dataLength = 0;
    Md5Digest packetHash{};  // tells copies of one slice from different slices of one exponent
};

struct CreatorPacket {
    Md5Digest setId{};
    std::string text;
};

struct UnicodeNamePacket {
    Md5Digest setId{};
    Md5Digest fileId{};
    std::u16string name;  // padding removed
};

struct PacketCollection {
    std::vector<MainPacket> mains;
    std::vector<FileDescriptionPacket> files;
    std::vector<SliceChecksumPacket> sliceChecksums;
    std::vector<RecoverySliceLocation> recoverySlices;
    std::vector<CreatorPacket> creators;
    std::vector<UnicodeNamePacket> unicodeNames;
    // Packets of a known type that were skipped: wrong MD5, impossible lengths or counts.
    std::size_t damaged = 0;
};

}  // namespace recovery
