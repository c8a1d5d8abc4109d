// What goes after a join with delete-after-use, once every piece of the file is gone: the
// recovery files that describe those pieces, then the file's lines in SHA256SUMS (the list
// itself when nothing else is in it), so that nothing is left describing pieces that are
// gone. Nothing goes while a piece of that name is still there.
#pragma once

#include <string>
#include <vector>

#include "recovery/keep_going.h"

namespace folder {

struct NotRemoved {
    std::string path;
    std::string reason;
};

// Cleans up after `fileName`'s pieces in `folder`. What could not be removed or rewritten,
// in the order tried; empty when all went, or when pieces are left and nothing was tried.
std::vector<NotRemoved> CleanUpAfterJoin(
    const std::string& folder,
    const std::string& fileName,
    const recovery::KeepGoing& keepGoing = recovery::KeepGoing());

}  // namespace folder
