// A join's work in its pieces folder, on the job's worker: the missing and damaged pieces
// first rebuilt from the recovery data there, as `secanto repair` rebuilds them
// (PieceRebuild), with the rebuild's progress (the dialog's join; the command line rebuilds
// before it starts the job, and says so); and, with delete-after-use, what described the
// pieces removed before the last of them go (CleanUpAfterJoin).
#pragma once

#include <string>

#include "engine/join_folder_work.h"

namespace folder {

class JoinUpkeep : public JoinFolderWork {
public:
    // Without `rebuild` nothing is rebuilt: a join that goes on from a partial output finds
    // the pieces it holds gone from the folder, which the recovery data would count lost; and
    // the command line has rebuilt them already.
    // With `checkSums` a rebuilt piece is also checked against its line in SHA256SUMS.
    JoinUpkeep(bool rebuild, bool checkSums) : m_rebuild(rebuild), m_checkSums(checkSums) {}

    // JOB_SOURCE_ERROR, nothing changed, when the recovery data cannot rebuild what is
    // missing or damaged, or a rebuilt piece fails a check.
    JobResult BeforeListing(const std::string& folder,
                            const std::string& fileName,
                            const Job& job) override;
    bool BeforeLastPieces(const std::string& folder,
                          const std::string& fileName,
                          const std::vector<int>& lastPieces,
                          std::string* failedPath,
                          std::string* reason) override;

private:
    const bool m_rebuild;
    const bool m_checkSums;
};

}  // namespace folder
