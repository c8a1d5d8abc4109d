// The plan: the library's slice size for the pieces' worth asked for, and its limits.
#include "folder/recovery_plan.h"

#include <algorithm>

#include "recovery/set_creator.h"

namespace folder {

namespace {

constexpr std::uint64_t kMostSlices = recovery::kMaxRecoverySlices;

std::string TooMany(std::uint64_t pieces) {
    return "recovery data for " + std::to_string(pieces) +
           " pieces would need more than 32768 slices; use larger pieces (-s)";
}

}  // namespace

bool SplitPieceLengths(std::uint64_t length,
                       std::uint64_t pieceSize,
                       std::vector<std::uint64_t>* lengths,
                       std::string* reason) {
    const std::uint64_t full = length / pieceSize;
    // Every piece that holds bytes is at least one slice.
    if (full + (length % pieceSize != 0 ? 1 : 0) > kMostSlices) {
        *reason = TooMany(full + 1);
        return false;
    }
    lengths->assign(static_cast<std::size_t>(full), pieceSize);
    lengths->push_back(length % pieceSize);
    return true;
}

bool FewEnoughPieces(std::uint64_t pieces, std::string* reason) {
    if (pieces > kMostSlices + 1) {
        *reason = TooMany(pieces);
        return false;
    }
    return true;
}

bool PlanRecovery(const std::vector<std::uint64_t>& lengths,
                  RecoveryAmount amount,
                  RecoveryPlan* plan,
                  std::string* reason) {
    const std::uint64_t count = lengths.size();
    const std::uint64_t holding = static_cast<std::uint64_t>(
        std::count_if(lengths.begin(), lengths.end(), [](std::uint64_t l) { return l > 0; }));
    if (holding > kMostSlices) {
        *reason = TooMany(count);
        return false;
    }
    std::uint64_t pieces = amount.percent ? (count * amount.value + 99) / 100 : amount.value;
    // More than every piece that holds bytes rebuilds nothing more; an empty piece needs no
    // recovery data to be made again.
    pieces = std::min(pieces, holding);
    const std::uint64_t budget = recovery::CreateRequest().memoryBudget;
    const std::uint64_t sliceSize =
        recovery::ChooseSliceSize(lengths, static_cast<std::uint32_t>(pieces), budget);
    const std::uint64_t largest = *std::max_element(lengths.begin(), lengths.end());
    const std::uint64_t perPiece = sliceSize == 0 ? 0 : (largest + sliceSize - 1) / sliceSize;
    if (sliceSize == 0 || pieces * perPiece > kMostSlices) {
        *reason = TooMany(count);
        return false;
    }
    plan->pieces = static_cast<std::uint32_t>(pieces);
    plan->sliceSize = sliceSize;
    plan->recoverySlices = static_cast<std::uint32_t>(pieces * perPiece);
    return true;
}

bool PlanSplitRecovery(std::uint64_t length,
                       std::uint64_t pieceSize,
                       RecoveryAmount amount,
                       RecoveryPlan* plan,
                       std::string* reason) {
    std::vector<std::uint64_t> lengths;
    return SplitPieceLengths(length, pieceSize, &lengths, reason) &&
           PlanRecovery(lengths, amount, plan, reason);
}

}  // namespace folder
