// Rebuilding a set's missing and damaged pieces in place from what a scan found: every lost
// slice is solved from the recovery slices, each rebuilt piece is written under a temporary
// name, checked against its MD5, flushed, and only then takes the piece's name.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "recovery/keep_going.h"
#include "recovery/recovery_status.h"
#include "recovery/set_scanner.h"

namespace recovery {

struct RepairResult {
    std::vector<std::string> rebuilt;  // paths of the pieces rebuilt
};

// The caller's own check of a rebuilt piece (`path`), written whole at `temporaryPath` and
// found to match its MD5, before any piece takes its name: false, with the reason, refuses
// the repair.
using RebuiltCheck = std::function<
    bool(const std::string& path, const std::string& temporaryPath, std::string* reason)>;

// Repairs the set `scanned` describes. When the recovery slices are not enough (kNotEnough),
// the set is unusable (kRecoveryData), `check` refuses a piece (kRecoveryData, on that
// piece), or anything fails before the renaming, no piece is changed and no temporary file
// is left.
Status RepairSet(const SetReport& scanned,
                 const KeepGoing& keepGoing,
                 RepairResult* result,
                 const RebuiltCheck& check = RebuiltCheck());

}  // namespace recovery
