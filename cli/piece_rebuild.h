// Rebuilding one file's missing and damaged pieces in their folder from the recovery data
// there, for `secanto repair` and before `secanto join`: the set that fits the pieces best
// is used, each rebuilt piece is checked against its MD5 and (when listed) its SHA256SUMS
// line under a temporary name and only then takes the piece's name. When the recovery data
// is not enough, nothing is changed.
#pragma once

#include <string>
#include <vector>

namespace cli {

struct RebuildRequest {
    std::string folder;
    std::string fileName;
    bool checkSums = true;  // check rebuilt pieces against SHA256SUMS
    bool rebuild = true;    // false: only find the recovery files, reading no piece
    bool announce = false;  // say on standard error that pieces are being rebuilt
};

struct RebuildOutcome {
    bool found = false;              // recovery data that describes the pieces, usable or not
    bool usable = false;             // a usable set among it
    int rebuilt = 0;                 // pieces rebuilt
    std::vector<std::string> files;  // the recovery files of the usable sets
};

// kExitOk when the pieces are whole as found or as rebuilt, or nothing usable describes
// them; otherwise the exit status, once it has said why.
int RebuildPieces(const RebuildRequest& request, RebuildOutcome* outcome);

}  // namespace cli
