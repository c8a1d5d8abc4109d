// Rebuilding one file's missing and damaged pieces in their folder from the recovery data
// there, for `secanto repair`, before `secanto join` and before the dialog's join: the set
// SetChoice takes is used, and each rebuilt piece is checked against its MD5 and (when
// listed) its SHA256SUMS line, or the whole file against the list's line for it, under a
// temporary name, and only then takes the piece's name. When the recovery data is not
// enough, nothing is changed. Every check a rebuilt piece passes is here and in
// recovery::RepairSet.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "folder/rebuilt_sums.h"
#include "folder/recovery_scan.h"
#include "folder/set_choice.h"
#include "recovery/keep_going.h"
#include "recovery/recovery_status.h"

namespace folder {

class PieceRebuild {
public:
    enum class Found {
        kNoRecovery,      // no recovery data describes the pieces
        kNotUsable,       // recovery data describes them, and none of it is usable (NotUsed())
        kWhole,           // a usable set finds them whole (or they were not checked)
        kRebuildable,     // Missing() pieces are missing or damaged; they can be rebuilt
        kTooFew,          // ... and cannot: MoreNeeded() more recovery slices are needed
        kListUnreadable,  // they could be, but SHA256SUMS cannot be read to check them
        kFailed,          // the folder or its recovery data could not be read
        kStopped,         // `keepGoing` said to stop
    };

    // Reads the recovery data in `folder` for `fileName`'s pieces and, with `checkPieces`,
    // checks the pieces against it. SHA256SUMS is read here: the choice of set weighs it, and
    // a piece rebuilt later is checked against it; with `checkSums` a list that cannot be
    // read keeps anything from being rebuilt (kListUnreadable). Changes nothing.
    Found Look(const std::string& folder,
               const std::string& fileName,
               bool checkPieces,
               bool checkSums,
               const recovery::KeepGoing& keepGoing);

    // After Look: the pieces missing or damaged, and the recovery slices more that they need.
    int Missing() const { return m_missing; }
    std::uint32_t MoreNeeded() const;
    // The paths of the pieces missing or damaged.
    std::vector<std::string> PiecesToRebuild() const;
    // The recovery files of the usable sets that describe the pieces.
    std::vector<std::string> Files() const { return m_scan.Files(); }
    // After kRebuildable: about how often a rebuild asks its `keepGoing` whether to go on (once
    // every kKeepGoingInterval of the work of the thread that asks), for a progress shown by
    // those questions.
    std::uint64_t AskedAbout() const;
    // The names refused by sets that describe pieces, whatever Look found.
    std::vector<RefusedName> Refused() const { return m_scan.Refused(); }
    // The usable sets of the pieces that the choice did not take, with the reason.
    const std::vector<SetNotUsed>& NotUsed() const { return m_choice.NotUsed(); }
    // After kRebuildable: the first recovery file of the set used.
    std::string RecoveryFile() const;
    // With kFailed and kListUnreadable: the path at fault and why.
    const recovery::Status& Failure() const { return m_failure; }

    // After kRebuildable: rebuilds the pieces in place. Nothing is changed unless it succeeds;
    // then `rebuilt` holds how many.
    recovery::Status Rebuild(const recovery::KeepGoing& keepGoing, int* rebuilt);

private:
    RecoveryScan m_scan;
    SetChoice m_choice;
    const recovery::SetReport* m_set = nullptr;
    RebuiltSums m_sums;
    int m_missing = 0;
    recovery::Status m_failure;
};

}  // namespace folder
