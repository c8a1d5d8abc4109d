// Which file's pieces a join takes from a pieces folder: the one choice of set for both
// front ends. Only pieces count (FolderPieces); what par2 sets aside when it rebuilds a piece
// (N__NAME.1 beside N__NAME, unlisted in a SHA256SUMS that lists NAME) is no other file; a
// folder whose pieces are all lost has the file its recovery data names.
#pragma once

#include <string>
#include <vector>

#include "recovery/keep_going.h"

namespace folder {

// What is joined where pieces of several files are left to choose from.
enum class SetRule {
    kOnlyOne,     // none: the user names one (the command line)
    kLastListed,  // the file whose piece the system lists last (the dialog)
};

struct JoinSet {
    enum class Found {
        kOne,       // `fileName`
        kNone,      // no pieces, and no recovery data that names any
        kSeveral,   // `names`, under kOnlyOne
        kUnlisted,  // the folder could not be listed whole: `reason`
    };
    Found found = Found::kNone;
    std::string fileName;
    std::vector<std::string> names;  // in byte order
    bool fromRecovery = false;       // every piece is lost; the recovery data names them
    std::string reason;
};

JoinSet ChooseJoinSet(const std::string& folder,
                      SetRule rule,
                      const recovery::KeepGoing& keepGoing = recovery::KeepGoing());

}  // namespace folder
