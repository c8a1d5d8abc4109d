// The SHA256SUMS lines of a split, brought up to date before the split may delete its
// source: the digests of the pieces and of the whole file written in place of that file's
// earlier lines, or, for a split without checksums, those earlier lines removed, since they
// no longer fit the new pieces. Other files' lines stay.
#pragma once

#include <string>

#include "engine/job_observer.h"
#include "sums/digest_pool.h"

namespace sums {

class SplitSumsWriter : public JobObserver {
public:
    // Writes the digests (true) or only removes the file's earlier lines (false).
    explicit SplitSumsWriter(bool writeSums) : m_writeSums(writeSums) {}

    // Starts the hashing; false with the reason when it could not start.
    bool Start(std::string* reason);

    // Whether the list in `folder` can take the split's lines
    // before anything is made: false, with the list's path and why, when it cannot be read
    // (a link, a FIFO) or holds a line no one can read, which the split would otherwise
    // keep. Finished checks the same again under the list's lock.
    static bool CheckList(const std::string& folder, std::string* failedPath, std::string* reason);

    char* ReadBuffer(std::size_t* size) override;
    void PieceBytes(const char* data, std::size_t size) override;
    bool WatchesBytes() const override { return m_writeSums; }
    JobResult PieceDone(int number) override;
    JobResult Finished(const std::string& folder, const std::string& fileName, int pieces) override;

    // After a job that ended with JOB_TARGET_ERROR because of SHA256SUMS: its path and why;
    // both empty when the job failed elsewhere.
    const std::string& FailedPath() const { return m_failedPath; }
    const std::string& FailureReason() const { return m_reason; }

private:
    JobResult Fail(const std::string& path, const std::string& reason);

    const bool m_writeSums;
    DigestPool m_pool;
    int m_pieceDigests = 0;  // the pool's consumers
    int m_fileDigest = 0;
    std::string m_failedPath;
    std::string m_reason;
};

}  // namespace sums
