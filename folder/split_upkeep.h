// What a split keeps true in its target folder beside the new pieces, before it may delete
// its source, whichever front end started it: the file's lines in SHA256SUMS (the new
// digests, or without them the earlier split's lines removed, which would no longer fit) and
// its recovery data (new files, or without them the earlier split's removed). Nothing else in
// the folder changes. A failure ends the split as a target error, and the source stays.
#pragma once

#include <string>

#include "engine/job_observer.h"
#include "folder/recovery_writer.h"
#include "recovery/keep_going.h"
#include "sums/split_sums_writer.h"

namespace folder {

class SplitUpkeep : public JobObserver {
public:
    // `keepGoing` stops the making of recovery data (the job's own stop test is not seen
    // there).
    SplitUpkeep(bool writeSums, RecoveryAmount recovery, recovery::KeepGoing keepGoing);

    // Starts the hashing; false with the reason when it could not start.
    bool Start(std::string* reason) { return m_sums.Start(reason); }

    char* ReadBuffer(std::size_t* size) override { return m_sums.ReadBuffer(size); }
    void PieceBytes(const char* data, std::size_t size) override { m_sums.PieceBytes(data, size); }
    bool WatchesBytes() const override { return m_sums.WatchesBytes(); }
    JobResult PieceDone(int number) override;
    // SHA256SUMS first, then the recovery data.
    JobResult Finished(const std::string& folder, const std::string& fileName, int pieces) override;

    const RecoveryWriter& Recovery() const { return m_recovery; }
    // After a job that ended with JOB_TARGET_ERROR here: the path at fault and why; both
    // empty when the job failed elsewhere. After JOB_ABORTED here, Stopped().
    const std::string& FailedPath() const { return m_failedPath; }
    const std::string& FailureReason() const { return m_reason; }
    bool Stopped() const { return m_stopped; }

private:
    sums::SplitSumsWriter m_sums;
    RecoveryWriter m_recovery;
    const recovery::KeepGoing m_keepGoing;
    std::string m_failedPath;
    std::string m_reason;
    bool m_stopped = false;
};

// Whether `file` is the list of the folder `target`, its lock or one of its temporary files:
// a split of it into that folder would change what it reads.
bool IsListOfFolder(const std::string& file, const std::string& target);

}  // namespace folder
