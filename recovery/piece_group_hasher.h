// The checksums PieceHasher keeps, for up to eight files of one length at once: the files
// are read side by side, a stretch of each in turn, and their MD5s run on the vector lanes
// of md5_lanes.h. The pieces of a split are all of one length but the last.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "recovery/keep_going.h"
#include "recovery/md5_lanes.h"
#include "recovery/piece_hasher.h"

namespace recovery {

class PieceGroupHasher {
public:
    static constexpr std::size_t kMost = Md5Lanes::kLanes;

    // Hashes the files at `paths` (two to kMost of them), each `length` bytes long (more
    // than none), in slices of `sliceSize`, into hashes[0..paths.size()). Stops when `stop`
    // is set, and sets it when `keepGoing` (may be null) says to stop. On kFailed,
    // `*failed` is the index of the file that failed and `reason` tells why; a file of
    // another length fails.
    PieceHasher::Outcome Hash(const std::vector<std::string>& paths,
                              std::uint64_t length,
                              std::uint64_t sliceSize,
                              const KeepGoing* keepGoing,
                              std::atomic<bool>* stop,
                              PieceHashes* hashes,
                              std::size_t* failed,
                              std::string* reason);

private:
    Md5Lanes m_whole;
    Md5Lanes m_slice;
    std::vector<unsigned char> m_buffer;
};

}  // namespace recovery
