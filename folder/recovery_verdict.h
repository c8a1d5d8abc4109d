// What the recovery data in a pieces folder says of its pieces, file by file: the pieces
// missing or damaged, those there that no set describes, and whether the recovery data can
// rebuild what is wrong or how many more recovery slices that would take.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "folder/recovery_scan.h"
#include "folder/set_choice.h"
#include "recovery/keep_going.h"
#include "recovery/recovery_status.h"
#include "sums/finding.h"

namespace folder {

struct FileVerdict {
    std::string fileName;
    bool described = false;  // a usable set describes the file's pieces
    // In number order: the pieces the set finds wrong and those there that it does not
    // describe; every piece there when no set describes them (kNotListed).
    std::vector<sums::Finding> findings;
    int checked = 0;               // pieces the set describes
    std::size_t bad = 0;           // of them, missing or damaged
    bool repairable = false;       // the set can rebuild them
    std::uint32_t moreNeeded = 0;  // else, the recovery slices it lacks
};

struct RecoveryVerdict {
    bool found = false;  // recovery data describes pieces there
    int unusable = 0;    // sets that describe pieces and are not usable, or not used
    std::vector<RefusedName> refused;
    // Usable sets not used: the stale and suspect ones, and those that only lack pieces
    // where no set is used for that file.
    std::vector<SetNotUsed> notUsed;
    std::vector<FileVerdict> files;  // the files with pieces there, then those all lost
};

// Checks the pieces in `folder` against its recovery data. Fails when the folder or its
// recovery data could not be read, or `keepGoing` said to stop (kStopped).
recovery::Status CheckAgainstRecovery(const std::string& folder,
                                      const recovery::KeepGoing& keepGoing,
                                      RecoveryVerdict* verdict);

}  // namespace folder
