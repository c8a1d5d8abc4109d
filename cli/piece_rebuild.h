// The command line's words around rebuilding one file's missing and damaged pieces from the
// recovery data in their folder (folder/piece_rebuild.h), for `secanto repair` and before
// `secanto join`.
#pragma once

#include <string>

namespace cli {

struct RebuildRequest {
    std::string folder;
    std::string fileName;
    bool checkSums = true;  // check rebuilt pieces against SHA256SUMS
    bool rebuild = true;    // false: only find the recovery data, reading no piece
    bool announce = false;  // say on standard error that pieces are being rebuilt
};

struct RebuildOutcome {
    bool found = false;   // recovery data that describes the pieces, usable or not
    bool usable = false;  // a usable set among it
    int rebuilt = 0;      // pieces rebuilt
};

// kExitOk when the pieces are whole as found or as rebuilt, or nothing usable describes
// them; otherwise the exit status, once it has said why.
int RebuildPieces(const RebuildRequest& request, RebuildOutcome* outcome);

}  // namespace cli
