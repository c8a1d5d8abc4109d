// The join's checks against the SHA256SUMS among its pieces (sums::JoinChecker) as the
// engine's observer, for both front ends: a check that fails ends the join with
// JOB_SOURCE_ERROR before the piece is reported or deleted, or the output named.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/job_observer.h"
#include "sums/join_checker.h"

namespace folder {

class JoinVerifier : public JobObserver {
public:
    // Reads the list and starts the checker before the join, reads what it found after.
    sums::JoinChecker& Checker() { return m_checker; }
    const sums::JoinChecker& Checker() const { return m_checker; }

    JobResult JoinStarts(const std::string& outputName,
                         const std::vector<std::uint64_t>& pieceLengths) override;
    char* ReadBuffer(std::size_t* size) override { return m_checker.ReadBuffer(size); }
    void PieceBytes(const char* data, std::size_t size) override {
        m_checker.PieceBytes(data, size);
    }
    bool WatchesBytes() const override { return m_checker.Verifying(); }
    JobResult PieceDone(int number) override;
    JobResult PieceVerdict(int number) override;
    JobResult Finished(const std::string& folder, const std::string& fileName, int pieces) override;

private:
    sums::JoinChecker m_checker;
};

}  // namespace folder
