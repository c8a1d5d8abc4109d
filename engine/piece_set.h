// What makes the pieces found in a folder one split's: numbers 1 to N without a gap, and
// lengths that a split with one piece size makes. The join refuses any other set; the
// command line names the piece that breaks the rule.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The numbers of the pieces of `fileName` among `names`, ascending, each once.
std::vector<int> PieceNumbers(const std::vector<std::string>& names, const std::string& fileName);

// The first number from 1 up that `numbers` (ascending) lacks before its highest one: 1 when
// it is empty, 0 when nothing is missing.
int FirstMissingPiece(const std::vector<int>& numbers);

// Pieces 1 to N of one split are all as long as piece 1, which is not empty unless it is the
// only one, but the last, which is no longer. The number of the first piece that breaks this
// for these lengths (piece 1's first), or 0 when none does.
int FirstMisfit(const std::vector<std::uint64_t>& lengths);

// Where a join that stopped with pieces deleted can go on: pieces 1 to `kept` are gone and
// their bytes are the first kept × pieceLength bytes of the partial output; pieces
// kept + 1 to count are still in the folder.
struct ContinuedJoin {
    int kept = 0;
    int count = 0;
    std::uint64_t pieceLength = 0;
};

enum class ContinueFit {
    kNothingMissing,  // pieces 1 to the highest are all there: nothing to continue
    kFits,
    kNoFit,
};

// The rule for going on. `numbers` are the pieces of one name found (ascending) and
// `lengths` theirs; `partial` is the partial output's length. The highest missing number
// below the last piece is `kept`; the pieces after it must fit one split (every one but the
// last of one length L, the last no longer) and the partial output hold at least kept × L
// bytes; pieces numbered up to `kept` that are still there must be L long too. When only the
// last piece is left, L comes from the partial output: `endsWithLast(L)` tells whether it
// also holds the last piece already, after kept × L bytes; when that reading and the one
// without it both fit and would give different files, nothing fits. `why` says what does
// not fit.
ContinueFit CheckContinue(const std::vector<int>& numbers,
                          const std::vector<std::uint64_t>& lengths,
                          std::uint64_t partial,
                          const std::function<bool(std::uint64_t pieceLength)>& endsWithLast,
                          ContinuedJoin* plan,
                          std::string* why);

// Whether the partial output holds the whole file already, as a join with delete-after-use
// leaves it once it is named, before the last pieces go: pieces 1 to `plan->kept` are
// missing (as for CheckContinue), and the output is exactly as long as every piece before the
// last of one length L and the last one after them, the pieces left fit L, and
// `endsWithLast(L)` tells that it ends with the last piece.
bool CheckWhole(const std::vector<int>& numbers,
                const std::vector<std::uint64_t>& lengths,
                std::uint64_t partial,
                const std::function<bool(std::uint64_t pieceLength)>& endsWithLast,
                ContinuedJoin* plan);
