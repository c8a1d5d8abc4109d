// The checksums PAR2 keeps of one file, read once in order: MD5 of the whole file and of its
// first 16 KiB, and MD5 and CRC-32 of every slice, the last one zero-padded.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/hash.h"
#include "recovery/keep_going.h"
#include "recovery/packets.h"

namespace recovery {

// PAR2 keeps the MD5 of a file's first 16 KiB as well.
constexpr std::uint64_t kFirstPartLength = 16384;
// Zeros to pad the last slice with, a stretch at a time.
extern const unsigned char kSlicePadding[4096];

struct PieceHashes {
    std::uint64_t length = 0;
    Md5Digest md5{};
    Md5Digest md5First16k{};
    std::vector<SliceChecksum> slices;  // of the file's actual length
};

class PieceHasher {
public:
    enum class Outcome { kHashed, kFailed, kStopped };

    PieceHasher();

    // Hashes the file at `path` in slices of `sliceSize`, its first `limit` bytes at most
    // (the length is the file's whole length all the same). Stops when `stop` is set, and
    // sets it when `keepGoing` (asked every few MiB, zero padding included; may be null)
    // says to stop. On kFailed `reason` tells why.
    Outcome Hash(const std::string& path,
                 std::uint64_t sliceSize,
                 const KeepGoing* keepGoing,
                 std::atomic<bool>* stop,
                 PieceHashes* hashes,
                 std::string* reason,
                 std::uint64_t limit = ~std::uint64_t{0});

private:
    platform::Hash m_whole;
    platform::Hash m_slice;
    platform::Hash m_first;
    std::vector<unsigned char> m_buffer;
};

}  // namespace recovery
