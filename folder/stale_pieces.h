// Pieces in a folder that do not belong to the set beside them: after a split into a folder
// that held more pieces of the same name, and when a join finds pieces whose lengths make a
// whole set followed by pieces that do not fit (both what an earlier split with another
// piece size leaves). The front ends name them so that the user can delete them.
#pragma once

#include <cstddef>
#include <string>

namespace folder {

// Pieces of one file, numbered `first` to `last`; `count` of them are there.
struct PieceSpan {
    int first = 0;
    int last = 0;
    std::size_t count = 0;
};

// After a split of `fileName` into `pieces` pieces in `folder`: that name's pieces numbered
// higher, which the split left as they were. False when there are none.
bool LeftOverPieces(const std::string& folder,
                    const std::string& fileName,
                    int pieces,
                    PieceSpan* left);

// After a join of `fileName`'s pieces in `folder` was refused for their lengths: true when
// pieces 1 to `*whole` make a whole set by their lengths and `after` (the pieces after them,
// 1 to N without a gap) do not fit it. False when the lengths show no such set.
bool PiecesAfterSet(const std::string& folder,
                    const std::string& fileName,
                    int* whole,
                    PieceSpan* after);

}  // namespace folder
