#include "folder/split_upkeep.h"

#include <utility>

#include "engine/job_paths.h"
#include "platform/file.h"
#include "sums/sums_file.h"

namespace folder {

SplitUpkeep::SplitUpkeep(bool writeSums, RecoveryAmount recovery, recovery::KeepGoing keepGoing)
    : m_sums(writeSums), m_recovery(recovery), m_keepGoing(std::move(keepGoing)) {}

// The split goes on at once: the digests are waited for only at the end.
JobResult SplitUpkeep::PieceDone(int number) {
    m_sums.PieceDone(number);
    return JOB_OK;
}

JobResult SplitUpkeep::Finished(const std::string& folder,
                                const std::string& fileName,
                                int pieces) {
    if (!m_sums.Write(folder, fileName, pieces)) {
        m_failedPath = m_sums.FailedPath();
        m_reason = m_sums.FailureReason();
        return JOB_TARGET_ERROR;
    }
    switch (m_recovery.Write(folder, fileName, pieces, m_keepGoing)) {
        case RecoveryWriter::Outcome::kWritten:
            return JOB_OK;
        case RecoveryWriter::Outcome::kStopped:
            m_stopped = true;
            return JOB_ABORTED;
        case RecoveryWriter::Outcome::kFailed:
            break;
    }
    m_failedPath = m_recovery.FailedPath();
    m_reason = m_recovery.FailureReason();
    return JOB_TARGET_ERROR;
}

bool IsListOfFolder(const std::string& file, const std::string& target) {
    platform::FileStamp folder;
    platform::FileStamp targetFolder;
    return sums::IsSumsFileName(LastComponent(file)) &&
           platform::StampOf(FolderOf(file), &folder) && platform::StampOf(target, &targetFolder) &&
           folder.SameFile(targetFolder);
}

}  // namespace folder
