// The lines that name pieces left beside a set (folder/stale_pieces.h), so that the user can
// delete them.
#pragma once

#include <string>

namespace cli {

// After a split of `fileName` into `pieces` pieces in `folder`: one line naming the pieces
// of that name numbered higher, which the split left as they were. True when there were any.
bool ReportLeftOverPieces(const std::string& folder, const std::string& fileName, int pieces);

// After a join of `fileName`'s pieces in `folder` was refused for their lengths: when pieces
// 1 to K make a whole set by their lengths and the pieces after K do not fit, one line
// naming those. False, saying nothing, when the lengths show no such set.
bool ReportPiecesAfterSet(const std::string& folder, const std::string& fileName);

}  // namespace cli
