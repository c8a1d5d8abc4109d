// What `secanto verify` tells from the recovery data in a pieces folder: for each file whose
// pieces it describes, the pieces missing or damaged, and whether the recovery data can
// rebuild them ("3 pieces can be rebuilt: secanto repair DIR") or how many more recovery
// slices that would take.
#pragma once

#include <functional>
#include <string>

#include "sums/finding.h"

namespace cli {

struct RecoveryVerdict {
    bool found = false;  // recovery data describes pieces there
    int checked = 0;     // pieces checked
    int problems = 0;    // pieces wrong, pieces it lacks, sets refused
};

// Checks the pieces in `folder` against its recovery data. With `listPieces` (when no
// SHA256SUMS spoke for them) each piece that is wrong, or there and described by no set, is
// handed to `found` as verify prints it; the summaries go to standard error unless `quiet`.
// kExitOk, or the status once it has said why it could not check.
int VerifyRecovery(const std::string& folder,
                   bool listPieces,
                   bool quiet,
                   const std::function<void(const sums::Finding&)>& found,
                   RecoveryVerdict* verdict);

}  // namespace cli
