// The PAR2 packet layout: a 64-byte header (magic, length, MD5 of the rest, recovery set ID,
// type) before a body whose length is a multiple of 4; integers are little-endian.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace recovery {

using Md5Digest = std::array<unsigned char, 16>;

constexpr std::size_t kPacketHeaderSize = 64;
constexpr char kPacketMagic[8] = {'P', 'A', 'R', '2', '\0', 'P', 'K', 'T'};

// Header fields' offsets.
constexpr std::size_t kLengthAt = 8;
constexpr std::size_t kPacketHashAt = 16;
constexpr std::size_t kSetIdAt = 32;
constexpr std::size_t kTypeAt = 48;

enum class PacketType {
    kUnknown,
    kMain,
    kFileDescription,
    kSliceChecksums,
    kRecoverySlice,
    kCreator,
    kUnicodeName
};

// The 16 type bytes of a packet type (not of kUnknown).
const char* PacketTypeTag(PacketType type);
PacketType PacketTypeOf(const unsigned char* tag);

inline std::uint32_t ReadLe32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

inline std::uint64_t ReadLe64(const unsigned char* p) {
    return ReadLe32(p) | static_cast<std::uint64_t>(ReadLe32(p + 4)) << 32;
}

inline void AppendLe32(std::string* out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out->push_back(static_cast<char>(value >> (8 * i)));
    }
}

inline void AppendLe64(std::string* out, std::uint64_t value) {
    AppendLe32(out, static_cast<std::uint32_t>(value));
    AppendLe32(out, static_cast<std::uint32_t>(value >> 32));
}

inline void AppendDigest(std::string* out, const Md5Digest& digest) {
    out->append(reinterpret_cast<const char*>(digest.data()), digest.size());
}

inline Md5Digest DigestAt(const unsigned char* p) {
    Md5Digest digest;
    std::memcpy(digest.data(), p, digest.size());
    return digest;
}

}  // namespace recovery
