#include "folder/join_cleanup.h"

#include <algorithm>

#include "engine/job_paths.h"
#include "folder/folder_pieces.h"
#include "folder/recovery_scan.h"
#include "platform/file_system.h"
#include "platform/system_error.h"
#include "sums/checksum_list.h"
#include "sums/sums_file.h"

namespace folder {

std::vector<NotRemoved> CleanUpAfterJoin(const std::string& folder,
                                         const std::string& fileName,
                                         const std::vector<int>& going) {
    std::vector<NotRemoved> failed;
    FolderPieces pieces;
    std::string reason;
    if (!pieces.Read(folder, &reason)) {
        failed.push_back({folder, reason});
        return failed;
    }
    for (int number : pieces.Numbers(fileName)) {
        if (std::find(going.begin(), going.end(), number) == going.end()) {
            return failed;
        }
    }
    RecoveryScan scan;
    const recovery::Status scanned =
        scan.Run(folder, PiecesOf(fileName), false, recovery::KeepGoing());
    if (!scanned.Ok()) {
        failed.push_back({scanned.path, scanned.reason});
        return failed;
    }
    for (const std::string& file : scan.Files()) {
        if (!platform::RemoveFile(file)) {
            failed.push_back({file, platform::LastSystemError()});
        }
    }
    // A folder without a list gets none, nor a lock file.
    if (!platform::PathExists(InFolder(folder, sums::kSumsName))) {
        return failed;
    }
    std::string failedPath;
    if (!sums::UpdateSumsFile(
            folder, [&](sums::ChecksumList* list) { return list->RemoveSplit(fileName); },
            &failedPath, &reason)) {
        failed.push_back({failedPath, reason});
    }
    return failed;
}

}  // namespace folder
