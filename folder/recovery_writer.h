// The recovery data of a split, made once every piece is written (and flushed, when the
// source is to be deleted) and before the source may be deleted: NAME.par2 and
// NAME.volA+B.par2 beside the pieces. Recovery files left there by an earlier split of NAME
// describe pieces that are gone, so they go once the new ones are in place; without
// recovery data only they go, as a split without checksums drops the earlier split's lines.
#pragma once

#include <atomic>
#include <cstddef>
#include <string>

#include "folder/recovery_plan.h"
#include "recovery/keep_going.h"

namespace folder {

class RecoveryWriter {
public:
    // `amount` 0: no recovery data, only the earlier split's removed.
    explicit RecoveryWriter(RecoveryAmount amount) : m_amount(amount) {}

    enum class Outcome { kWritten, kStopped, kFailed };

    // After a split of `fileName` into `pieces` pieces in `folder` (ending with a separator).
    // kFailed, with FailedPath() and FailureReason(), when something could not be read,
    // made or deleted.
    Outcome Write(const std::string& folder,
                  const std::string& fileName,
                  int pieces,
                  const recovery::KeepGoing& keepGoing);

    // The recovery data is being made; read from any thread.
    bool Making() const { return m_making.load(); }

    // After kWritten: what was made (recovery files, 0 without recovery data).
    const RecoveryPlan& Plan() const { return m_plan; }
    std::size_t FilesMade() const { return m_filesMade; }

    const std::string& FailedPath() const { return m_failedPath; }
    const std::string& FailureReason() const { return m_reason; }

private:
    Outcome Fail(const std::string& path, const std::string& reason);

    const RecoveryAmount m_amount;
    RecoveryPlan m_plan;
    std::size_t m_filesMade = 0;
    std::string m_failedPath;
    std::string m_reason;
    std::atomic<bool> m_making{false};
};

}  // namespace folder
