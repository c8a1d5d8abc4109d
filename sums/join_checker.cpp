// SHA256SUMS written in a split's Finished and checked in a join's JoinStarts, PieceDone and
// Finished: the moments before the engine deletes or names anything.
#include "cli/checksum_watcher.h"

#include <vector>

#include "engine/job_paths.h"
#include "platform/system_error.h"

namespace cli {

const char kSumsName[] = "SHA256SUMS";

JobResult SplitSumsWriter::Fail(const std::string& path, const std::string& reason) {
    m_failedPath = path;
    m_reason = reason;
    return JOB_TARGET_ERROR;
}

JobResult SplitSumsWriter::PieceDone(int) {
    m_streams.EndPiece();
    return JOB_OK;
}

JobResult SplitSumsWriter::Finished(const std::string& folder,
                                    const std::string& fileName,
                                    int pieces) {
    const std::string path = folder + kSumsName;
    const int whole = m_streams.EndWhole();
    std::vector<std::string> digests(static_cast<std::size_t>(pieces));
    std::string fileDigest;
    for (int number = 1; number <= pieces; ++number) {
        if (!m_streams.PieceDigest(number, &digests[static_cast<std::size_t>(number - 1)])) {
            return Fail(path, m_streams.Failure());
        }
    }
    if (!m_streams.WholeDigest(whole, &fileDigest)) {
        return Fail(path, m_streams.Failure());
    }
    // The lines of other files in the folder stay; an earlier split of this name is replaced.
    ChecksumList list;
    std::string reason;
    if (list.Read(path, &reason) == ChecksumList::ReadResult::kFailed) {
        return Fail(path, reason);
    }
    if (!list.ReplaceSplit(fileName, digests, fileDigest)) {
        return Fail(path, platform::LastSystemError());
    }
    if (!list.Write(path, &reason)) {
        return Fail(path, reason);
    }
    return JOB_OK;
}

bool JoinChecker::Start(std::string* reason) {
    return m_sums == nullptr || m_streams.Start(reason);
}

JobResult JoinChecker::Fail(const std::string& name, const std::string& problem) {
    m_badName = name;
    m_problem = problem;
    return JOB_SOURCE_ERROR;
}

JobResult JoinChecker::JoinStarts(const std::string& outputName,
                                  const std::vector<std::uint64_t>& pieceLengths,
                                  std::string* stagingName) {
    m_outputName = outputName;
    m_pieceCount = pieceLengths.size();
    for (std::uint64_t length : pieceLengths) {
        m_totalBytes += length;
    }
    // A hidden name beside the output, so that the folder shows no half-made file.
    m_stagingName = "." + outputName + ".secanto-part";
    *stagingName = m_stagingName;
    if (m_sums == nullptr) {
        return JOB_OK;
    }
    m_listed = m_sums->Find(outputName);
    m_verifying = !m_listed.pieces.empty() || !m_listed.file.empty();
    if (m_listed.pieces.empty()) {
        return JOB_OK;
    }
    // The engine sees only gaps; a last piece gone, or one more than the split made, shows
    // here, before anything is made.
    const int found = static_cast<int>(pieceLengths.size());
    const int listed = m_listed.pieces.rbegin()->first;
    for (int number = 1; number <= found || number <= listed; ++number) {
        const bool isListed = m_listed.pieces.count(number) != 0;
        if (number > found && isListed) {
            return Fail(PieceName(number, outputName), "missing, though SHA256SUMS lists it");
        }
        if (number <= found && !isListed) {
            return Fail(PieceName(number, outputName), "not listed in SHA256SUMS");
        }
    }
    return JOB_OK;
}

void JoinChecker::PieceBytes(const char* data, std::size_t size) {
    if (m_verifying) {
        m_streams.Add(data, size);
    }
}

JobResult JoinChecker::PieceDone(int number) {
    if (!m_verifying) {
        return JOB_OK;
    }
    const int ended = m_streams.EndPiece();
    const auto listed = m_listed.pieces.find(number);
    if (listed == m_listed.pieces.end()) {
        return JOB_OK;
    }
    std::string digest;
    if (!m_streams.PieceDigest(ended, &digest)) {
        return Fail(PieceName(number, m_outputName),
                    "could not be checked: " + m_streams.Failure());
    }
    if (digest != listed->second) {
        return Fail(PieceName(number, m_outputName), "does not match its line in SHA256SUMS");
    }
    return JOB_OK;
}

JobResult JoinChecker::Finished(const std::string&, const std::string& fileName, int) {
    if (!m_verifying || m_listed.file.empty()) {
        return JOB_OK;
    }
    std::string digest;
    if (!m_streams.WholeDigest(m_streams.EndWhole(), &digest)) {
        return Fail(fileName, "could not be checked: " + m_streams.Failure());
    }
    if (digest != m_listed.file) {
        return Fail(fileName, "the joined bytes do not match its line in SHA256SUMS");
    }
    return JOB_OK;
}

}  // namespace cli
