// How much recovery data a split gets: the pieces' worth asked for (-r N, or N% of the
// pieces) turned into a slice size and a count of recovery slices for the pieces' lengths.
// A piece is one slice when the memory bound allows, else several, and then N pieces' worth
// of slices are made. PAR2 allows 32768 slices of each kind; a set that needs more is
// refused before anything is made.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace folder {

// How many lost or damaged pieces a split's recovery data is to rebuild: a count, or a share
// of the pieces in percent (rounded up). 0: no recovery data.
struct RecoveryAmount {
    std::uint32_t value = 0;
    bool percent = false;
};

struct RecoveryPlan {
    std::uint32_t pieces = 0;  // how many lost or damaged pieces it rebuilds
    std::uint64_t sliceSize = 0;
    std::uint32_t recoverySlices = 0;
};

// The lengths of the pieces a split of `length` bytes into pieces of `pieceSize` makes: all
// full but the last, which is short or empty. False, with the reason, when they are too many
// for recovery data (then `lengths` is not filled).
bool SplitPieceLengths(std::uint64_t length,
                       std::uint64_t pieceSize,
                       std::vector<std::uint64_t>* lengths,
                       std::string* reason);

// False, with the reason, when `pieces` pieces are too many for recovery data whatever their
// lengths (only the last can be empty, and every other is at least one slice).
bool FewEnoughPieces(std::uint64_t pieces, std::string* reason);

// The plan for pieces of these lengths; false, with the reason, when PAR2 cannot hold it.
bool PlanRecovery(const std::vector<std::uint64_t>& lengths,
                  RecoveryAmount amount,
                  RecoveryPlan* plan,
                  std::string* reason);

// The recovery data of a split of a file of `length` bytes into pieces of `pieceSize`,
// planned before anything is made: false, with the reason, when PAR2 cannot hold it.
bool PlanSplitRecovery(std::uint64_t length,
                       std::uint64_t pieceSize,
                       RecoveryAmount amount,
                       RecoveryPlan* plan,
                       std::string* reason);

}  // namespace folder
