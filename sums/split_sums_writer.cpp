#include "sums/split_sums_writer.h"

#include <vector>

#include "platform/file_system.h"
#include "platform/system_error.h"
#include "sums/sums_file.h"

namespace sums {

JobResult SplitSumsWriter::Fail(const std::string& path, const std::string& reason) {
    m_failedPath = path;
    m_reason = reason;
    return JOB_TARGET_ERROR;
}

void SplitSumsWriter::PieceBytes(const char* data, std::size_t size) {
    if (m_writeSums) {
        m_streams.Add(data, size);
    }
}

JobResult SplitSumsWriter::PieceDone(int) {
    if (m_writeSums) {
        m_streams.EndPiece();
    }
    return JOB_OK;
}

JobResult SplitSumsWriter::Finished(const std::string& folder,
                                    const std::string& fileName,
                                    int pieces) {
    std::string failedPath;
    std::string reason;
    if (!m_writeSums) {
        // A folder without a list gets none, nor a lock file.
        if (!platform::PathExists(folder + kSumsName)) {
            return JOB_OK;
        }
        const bool updated = UpdateSumsFile(
            folder, [&](ChecksumList* list) { return list->RemoveSplit(fileName); }, &failedPath,
            &reason);
        return updated ? JOB_OK : Fail(failedPath, reason);
    }
    const int whole = m_streams.EndWhole();
    std::vector<std::string> digests(static_cast<std::size_t>(pieces));
    std::string fileDigest;
    for (int number = 1; number <= pieces; ++number) {
        if (!m_streams.PieceDigest(number, &digests[static_cast<std::size_t>(number - 1)])) {
            return Fail(folder + kSumsName, m_streams.Failure());
        }
    }
    if (!m_streams.WholeDigest(whole, &fileDigest)) {
        return Fail(folder + kSumsName, m_streams.Failure());
    }
    std::string nameError;
    const bool updated = UpdateSumsFile(
        folder,
        [&](ChecksumList* list) {
            if (!list->ReplaceSplit(fileName, digests, fileDigest)) {
                nameError = platform::LastSystemError();
                return false;
            }
            return true;
        },
        &failedPath, &reason);
    if (!updated) {
        return Fail(failedPath, reason);
    }
    return nameError.empty() ? JOB_OK : Fail(folder + kSumsName, nameError);
}

}  // namespace sums
