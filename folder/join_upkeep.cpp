#include "folder/join_upkeep.h"

#include <algorithm>

#include "folder/join_cleanup.h"
#include "folder/piece_rebuild.h"
#include "folder/repair_claim.h"

namespace folder {

JobResult JoinUpkeep::BeforeListing(const std::string& folder,
                                    const std::string& fileName,
                                    const Job& job) {
    if (!m_rebuild) {
        return JOB_OK;
    }
    // The join has given up its own claim for this one, and takes it again after.
    RepairClaim claim;
    if (claim.ForLooking(folder, fileName) != RepairClaim::Outcome::kHeld) {
        return JOB_SOURCE_ERROR;
    }
    PieceRebuild rebuild;
    using Found = PieceRebuild::Found;
    switch (rebuild.Look(folder, fileName, true, m_checkSums, job.keepGoing)) {
        case Found::kNoRecovery:
        case Found::kNotUsable:
        case Found::kWhole:
            return JOB_OK;
        case Found::kStopped:
            return JOB_ABORTED;
        case Found::kTooFew:
        case Found::kListUnreadable:
        case Found::kFailed:
            return JOB_SOURCE_ERROR;
        case Found::kRebuildable:
            break;
    }
    if (claim.ForRebuilding() != RepairClaim::Outcome::kHeld) {
        return JOB_SOURCE_ERROR;
    }
    // The library asks whether to go on every few MiB of its work: those questions move the
    // progress over the work a rebuild of this size takes, short of its end until it is done.
    const int pieces = rebuild.Missing();
    const std::uint64_t expected = rebuild.AskedAbout();
    std::uint64_t asked = 0;
    int shown = 0;
    job.rebuilding(pieces, 0);
    const recovery::KeepGoing counted = [&] {
        ++asked;
        const int done = static_cast<int>(std::min<std::uint64_t>(999, asked * 1000 / expected));
        if (done != shown) {
            shown = done;
            job.rebuilding(pieces, done);
        }
        return job.keepGoing();
    };
    int rebuilt = 0;
    const recovery::Status status = rebuild.Rebuild(counted, &rebuilt);
    if (status.failure == recovery::Failure::kStopped) {
        return JOB_ABORTED;
    }
    if (!status.Ok()) {
        return JOB_SOURCE_ERROR;
    }
    job.rebuilding(pieces, 1000);
    return JOB_OK;
}

bool JoinUpkeep::BeforeLastPieces(const std::string& folder,
                                  const std::string& fileName,
                                  const std::vector<int>& lastPieces,
                                  std::string* failedPath,
                                  std::string* reason) {
    const std::vector<NotRemoved> left = CleanUpAfterJoin(folder, fileName, lastPieces);
    if (left.empty()) {
        return true;
    }
    *failedPath = left.front().path;
    *reason = left.front().reason;
    return false;
}

}  // namespace folder
