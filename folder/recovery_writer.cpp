// The recovery data made at the split's end: earlier files found, new ones made, then those
// earlier ones removed.
#include "folder/recovery_writer.h"

#include <algorithm>
#include <vector>

#include "engine/job_paths.h"
#include "folder/recovery_scan.h"
#include "platform/file.h"
#include "platform/file_system.h"
#include "platform/system_error.h"
#include "recovery/set_creator.h"

namespace folder {

RecoveryWriter::Outcome RecoveryWriter::Fail(const std::string& path, const std::string& reason) {
    m_failedPath = path;
    m_reason = reason;
    return Outcome::kFailed;
}

RecoveryWriter::Outcome RecoveryWriter::Write(const std::string& folder,
                                              const std::string& fileName,
                                              int pieces,
                                              const recovery::KeepGoing& keepGoing) {
    const std::string indexPath = folder + fileName + ".par2";
    // The earlier split's recovery files, found before the new ones are there to be read.
    RecoveryScan earlier;
    const recovery::Status scanned = earlier.Run(folder, PiecesOf(fileName), false, keepGoing);
    if (scanned.failure == recovery::Failure::kStopped) {
        return Outcome::kStopped;
    }
    if (!scanned.Ok()) {
        return Fail(scanned.path, scanned.reason);
    }
    std::vector<std::string> stale = earlier.Files();

    if (m_amount.value > 0) {
        std::string reason;
        if (!FewEnoughPieces(static_cast<std::uint64_t>(pieces), &reason)) {
            return Fail(indexPath, reason);
        }
        recovery::CreateRequest request;
        std::vector<std::uint64_t> lengths;
        for (int number = 1; number <= pieces; ++number) {
            const std::string name = PieceName(number, fileName);
            platform::FileStamp stamp;
            if (!platform::StampOf(folder + name, &stamp)) {
                return Fail(folder + name, platform::LastSystemError());
            }
            request.pieces.push_back({folder + name, name});
            lengths.push_back(stamp.length);
        }
        if (!PlanRecovery(lengths, m_amount, &m_plan, &reason)) {
            return Fail(indexPath, reason);
        }
        request.indexPath = indexPath;
        request.recoverySlices = m_plan.recoverySlices;
        request.sliceSize = m_plan.sliceSize;
        recovery::CreateResult made;
        m_making.store(true);
        const recovery::Status status = recovery::CreateRecoveryFiles(request, keepGoing, &made);
        m_making.store(false);
        if (status.failure == recovery::Failure::kStopped) {
            return Outcome::kStopped;
        }
        if (!status.Ok()) {
            return Fail(status.path, status.reason);
        }
        m_filesMade = made.files.size();
        // A file of the same name was replaced by the new one.
        stale.erase(std::remove_if(stale.begin(), stale.end(),
                                   [&](const std::string& path) {
                                       return std::find(made.files.begin(), made.files.end(),
                                                        path) != made.files.end();
                                   }),
                    stale.end());
    }
    for (const std::string& path : stale) {
        if (!platform::RemoveFile(path)) {
            return Fail(path, "not deleted: " + platform::LastSystemError() +
                                  "; it holds recovery data of earlier pieces");
        }
    }
    return Outcome::kWritten;
}

}  // namespace folder
