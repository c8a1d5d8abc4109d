// Rebuilding a set's missing and damaged pieces in place from what a scan found: every lost
// slice is solved from the recovery slices, each rebuilt piece is written under a temporary
// name, checked against its MD5, flushed, and only then takes the piece's name.
#pragma once

#include <string>
#include <vector>

#include "recovery/keep_going.h"
#include "recovery/recovery_status.h"
#include "recovery/set_scanner.h"

namespace recovery {

struct RepairResult {
    std::vector<std::string> rebuilt;  // paths of the pieces rebuilt
};

// Repairs the set `scanned` describes. When the recovery slices are not enough (kNotEnough),
// the set is unusable (kRecoveryData), or anything fails before the renaming, no piece is
// changed and no temporary file is left.
Status RepairSet(const SetReport& scanned, const KeepGoing& keepGoing, RepairResult* result);

}  // namespace recovery
