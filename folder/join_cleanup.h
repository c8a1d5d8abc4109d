// What goes when a join with delete-after-use has left no piece of the file but the last
// ones, which it deletes next: the recovery files that describe those pieces, then the file's
// lines in SHA256SUMS (the list itself when nothing else is in it), so that nothing is left
// describing pieces that are gone. Nothing goes while another piece of that name is there.
#pragma once

#include <string>
#include <vector>

#include "recovery/keep_going.h"

namespace folder {

struct NotRemoved {
    std::string path;
    std::string reason;
};

// Cleans up after `fileName`'s pieces in `folder`, of which only `going` (piece numbers) may
// be left. What could not be removed or rewritten, in the order tried; empty when all went,
// or when other pieces are left and nothing was tried.
std::vector<NotRemoved> CleanUpAfterJoin(const std::string& folder,
                                         const std::string& fileName,
                                         const std::vector<int>& going);

}  // namespace folder
