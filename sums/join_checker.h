// The command line's watchers of a job (engine/job_observer.h): SHA256SUMS written beside a
// split's pieces, and a join checked against the SHA256SUMS among its pieces. The bytes are
// hashed beside the copy (DigestStreams); the job waits only where a digest must be known.
#pragma once

#include <cstdint>
#include <string>

#include "cli/checksum_list.h"
#include "cli/digest_streams.h"
#include "engine/job_observer.h"

namespace cli {

// The name of the checksum file beside the pieces.
extern const char kSumsName[];

// Writes the digests of the pieces and of the whole file into SHA256SUMS in the pieces'
// folder, durably, before the split may delete its source.
class SplitSumsWriter : public JobObserver {
public:
    // Starts the hashing; false with the reason when it could not start.
    bool Start(std::string* reason) { return m_streams.Start(reason); }

    void PieceBytes(const char* data, std::size_t size) override { m_streams.Add(data, size); }
    JobResult PieceDone(int number) override;
    JobResult Finished(const std::string& folder, const std::string& fileName, int pieces) override;

    // After a job that ended with JOB_TARGET_ERROR because of SHA256SUMS: its path and why;
    // both empty when the job failed elsewhere.
    const std::string& FailedPath() const { return m_failedPath; }
    const std::string& FailureReason() const { return m_reason; }

private:
    JobResult Fail(const std::string& path, const std::string& reason);

    DigestStreams m_streams;
    std::string m_failedPath;
    std::string m_reason;
};

// Stages a join's output under a hidden name, so that the output's own name only ever holds
// a whole file, and, given a SHA256SUMS that lists the output, checks against it: the number
// of pieces before anything is made, every piece before it is reported or deleted, and the
// whole file before it takes its name. A mismatch ends the job with JOB_SOURCE_ERROR.
class JoinChecker : public JobObserver {
public:
    // `sums`, which must outlive the job, is the pieces' SHA256SUMS; null checks nothing.
    explicit JoinChecker(const ChecksumList* sums) : m_sums(sums) {}

    // Starts the hashing when there is something to check; false with the reason when it
    // could not start.
    bool Start(std::string* reason);

    JobResult JoinStarts(const std::string& outputName,
                         const std::vector<std::uint64_t>& pieceLengths,
                         std::string* stagingName) override;
    void PieceBytes(const char* data, std::size_t size) override;
    // Without checksums to check the bytes are not needed, and the system may copy them.
    bool WatchesBytes() const override { return m_verifying; }
    JobResult PieceDone(int number) override;
    JobResult Finished(const std::string& folder, const std::string& fileName, int pieces) override;

    // Known once the job has posted its range (JoinStarts has run by then).
    bool Verifying() const { return m_verifying; }
    const std::string& OutputName() const { return m_outputName; }
    const std::string& StagingName() const { return m_stagingName; }
    std::uint64_t TotalBytes() const { return m_totalBytes; }
    std::uint64_t PieceCount() const { return m_pieceCount; }

    // After a job that ended with JOB_SOURCE_ERROR because of a mismatch: the name at fault
    // (a piece, or the output) and what is wrong with it; both empty otherwise.
    const std::string& BadName() const { return m_badName; }
    const std::string& Problem() const { return m_problem; }

private:
    JobResult Fail(const std::string& name, const std::string& problem);

    const ChecksumList* m_sums;
    DigestStreams m_streams;
    SplitChecksums m_listed;
    bool m_verifying = false;
    std::string m_outputName;
    std::string m_stagingName;
    std::uint64_t m_totalBytes = 0;
    std::uint64_t m_pieceCount = 0;
    std::string m_badName;
    std::string m_problem;
};

}  // namespace cli
