// Making recovery files for a set of pieces: NAME.par2 (the set's description, no recovery
// data) and NAME.volA+B.par2 files holding the recovery slices with copies of the
// description, each written under a temporary name, flushed, then renamed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "recovery/keep_going.h"
#include "recovery/recovery_status.h"

namespace recovery {

struct PieceFile {
    std::string path;
    std::string name;  // narrow; as the packets name it, a plain file name (UTF-8 in them)
};

struct CreateRequest {
    std::vector<PieceFile> pieces;
    std::string indexPath;  // .../NAME.par2; the volumes go beside it
    std::uint32_t recoverySlices = 0;
    // 0: one slice per piece, or the piece's size divided as little as the memory bound
    // needs; else a multiple of 4.
    std::uint64_t sliceSize = 0;
    std::string creator = "Secanto";
    // What the recovery data and the input batches may take at once.
    std::uint64_t memoryBudget = std::uint64_t{192} << 20;
};

struct CreateResult {
    std::uint64_t sliceSize = 0;
    std::uint32_t inputSlices = 0;
    std::vector<std::string> files;  // the index first, then the volumes
};

// The most recovery slices a set may be given.
constexpr std::uint32_t kMaxRecoverySlices = 32768;

// The slice size CreateRecoveryFiles chooses for pieces of these lengths, or 0 when even one
// slice per piece makes more than 32768 slices.
std::uint64_t ChooseSliceSize(const std::vector<std::uint64_t>& lengths,
                              std::uint32_t recoverySlices,
                              std::uint64_t memoryBudget);

// Makes the recovery files. On failure (kBadRequest, kSource, kTarget, kStopped) no
// temporary file is left, and no file of the set's names was written unless the renaming
// itself failed part way.
Status CreateRecoveryFiles(const CreateRequest& request,
                           const KeepGoing& keepGoing,
                           CreateResult* result);

}  // namespace recovery
