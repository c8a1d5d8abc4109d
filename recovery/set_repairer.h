// Rebuilding a set's missing and damaged pieces in place from what a scan found: every lost
// slice is solved from the recovery slices, each rebuilt piece is written under a temporary
// name, checked against its MD5 and by the caller, flushed, and only then takes the piece's
// name. A damaged piece is first set aside as NAME.1, and removed once every rebuilt piece
// has its name; until then a failure puts it back.
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

// A rebuilt piece (`path`), written whole at `temporaryPath` and found to match its MD5.
struct RebuiltFile {
    std::string path;
    std::string temporaryPath;
};

// The caller's own check of the rebuilt pieces before any takes its name: a failure refuses
// the repair with that status.
using RebuiltCheck = std::function<Status(const std::vector<RebuiltFile>& rebuilt)>;

// The name a damaged piece at `path` is kept under while its rebuilt piece takes its place.
std::string SetAsidePath(const std::string& path);

// Repairs the set `scanned` describes. When the recovery slices are not enough (kNotEnough),
// the set is unusable (kRecoveryData), `check` refuses, a damaged piece's NAME.1 is taken
// (kTarget), or anything fails before the renaming, no piece is changed and no temporary
// file is left.
Status RepairSet(const SetReport& scanned,
                 const KeepGoing& keepGoing,
                 RepairResult* result,
                 const RebuiltCheck& check = RebuiltCheck());

}  // namespace recovery
