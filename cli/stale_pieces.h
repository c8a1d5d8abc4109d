// Pieces in a folder that do not belong to the set beside them, named so that the user can
// delete them: after a split into a folder that held more pieces of the same name, and when
// a join finds pieces whose lengths make a whole set followed by pieces that do not fit
// (both what an earlier split with another piece size leaves).
#pragma once

#include <string>

namespace cli {

// After a split of `fileName` into `pieces` pieces in `folder`: one line naming the pieces
// of that name numbered higher, which the split left as they were. True when there were any.
bool ReportLeftOverPieces(const std::string& folder, const std::string& fileName, int pieces);

// After a join of `fileName`'s pieces in `folder` was refused for their lengths: when pieces
// 1 to K make a whole set by their lengths and the pieces after K do not fit it, one line
// naming those. False, saying nothing, when the lengths show no such set.
bool ReportPiecesAfterSet(const std::string& folder, const std::string& fileName);

}  // namespace cli
