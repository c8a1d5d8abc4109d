// Two observers of one job, as one: every call goes to the first, then to the second, so that
// a split writes its SHA256SUMS and then its recovery data before it may delete its source.
// The first result other than JOB_OK ends the job, and the second is then not asked.
#pragma once

#include "engine/job_observer.h"

namespace cli {

class ObserverPair : public JobObserver {
public:
    ObserverPair(JobObserver* first, JobObserver* second) : m_first(first), m_second(second) {}

    JobResult JoinStarts(const std::string& outputName,
                         const std::vector<std::uint64_t>& pieceLengths) override;
    // The buffer of the first that watches the bytes; the other, if it watches them too,
    // gets them from there.
    char* ReadBuffer(std::size_t* size) override;
    void PieceBytes(const char* data, std::size_t size) override;
    bool WatchesBytes() const override;
    JobResult PieceDone(int number) override;
    JobResult Finished(const std::string& folder, const std::string& fileName, int pieces) override;

private:
    JobObserver* const m_first;
    JobObserver* const m_second;
};

}  // namespace cli
