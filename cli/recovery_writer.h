// The recovery data of a split, made once every piece is written (and flushed, when the
// source is to be deleted) and before the source may be deleted: NAME.par2 and
// NAME.volA+B.par2 beside the pieces. Recovery files left there by an earlier split of NAME
// describe pieces that are gone, so they go once the new ones are in place; without -r only
// they go, as --no-sums drops the earlier split's lines. A failure is a target error and the
// source stays.
#pragma once

#include <atomic>
#include <cstddef>
#include <string>

#include "cli/arguments.h"
#include "cli/recovery_plan.h"
#include "engine/job_observer.h"

namespace cli {

class RecoveryWriter : public JobObserver {
public:
    // `amount` 0: no recovery data, only the earlier split's removed.
    explicit RecoveryWriter(RecoveryAmount amount) : m_amount(amount) {}

    void PieceBytes(const char*, std::size_t) override {}
    bool WatchesBytes() const override { return false; }
    JobResult PieceDone(int) override { return JOB_OK; }
    JobResult Finished(const std::string& folder, const std::string& fileName, int pieces) override;

    // The recovery data is being made; read from any thread.
    bool Making() const { return m_making.load(); }

    // After a job that ended well: what was made (recovery files, 0 without -r).
    const RecoveryPlan& Plan() const { return m_plan; }
    std::size_t FilesMade() const { return m_filesMade; }

    // After a job that ended with JOB_TARGET_ERROR here: the path at fault and why; both
    // empty when the job failed elsewhere. After JOB_ABORTED here, Stopped().
    const std::string& FailedPath() const { return m_failedPath; }
    const std::string& FailureReason() const { return m_reason; }
    bool Stopped() const { return m_stopped; }

private:
    JobResult Fail(const std::string& path, const std::string& reason);

    const RecoveryAmount m_amount;
    RecoveryPlan m_plan;
    std::size_t m_filesMade = 0;
    std::string m_failedPath;
    std::string m_reason;
    bool m_stopped = false;
    std::atomic<bool> m_making{false};
};

}  // namespace cli
