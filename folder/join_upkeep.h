// A join's work in its pieces folder as the dialog has it done, on the job's worker: the
// missing and damaged pieces first rebuilt from the recovery data there, as `secanto repair`
// rebuilds them (PieceRebuild), with the rebuild's progress; and once the join has left no
// piece, what described them removed (CleanUpAfterJoin).
#pragma once

#include <string>

#include "engine/join_folder_work.h"

namespace folder {

class JoinUpkeep : public JoinFolderWork {
public:
    // Without `rebuild` nothing is rebuilt: a join that goes on from a partial output finds
    // the pieces it holds gone from the folder, which the recovery data would count lost.
    // With `checkSums` a rebuilt piece is also checked against its line in SHA256SUMS.
    JoinUpkeep(bool rebuild, bool checkSums) : m_rebuild(rebuild), m_checkSums(checkSums) {}

    // JOB_SOURCE_ERROR, nothing changed, when the recovery data cannot rebuild what is
    // missing or damaged, or a rebuilt piece fails a check.
    JobResult BeforeListing(const std::string& folder,
                            const std::string& fileName,
                            const Job& job) override;
    void AfterJoin(const std::string& folder, const std::string& fileName) override;

private:
    const bool m_rebuild;
    const bool m_checkSums;
};

}  // namespace folder
