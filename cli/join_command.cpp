// secanto join DIR: the engine's join, staged under a hidden name and checked against the
// pieces' SHA256SUMS when there is one.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/checksum_watcher.h"
#include "cli/commands.h"
#include "cli/job_runner.h"
#include "cli/progress_line.h"
#include "cli/report.h"
#include "engine/job_paths.h"
#include "engine/piece_set.h"
#include "engine/target_rules.h"
#include "platform/file.h"
#include "platform/file_system.h"
#include "platform/folder_listing.h"
#include "platform/system_error.h"

namespace cli {

namespace {

// The engine refuses a set of pieces without saying why. This looks again, as the join
// looked (the name after "__" in the last name listed), and names the first piece at fault.
void ReportSourceError(const std::string& folder) {
    platform::FolderListing listing;
    if (!listing.Start(InFolder(folder, ""))) {
        ReportError(folder, platform::LastSystemError());
        return;
    }
    std::vector<std::string> names;
    platform::FolderListing::Entry entry;
    while (listing.Next(&entry)) {
        if (!entry.isFolder && FindInPath(entry.name, "__") != std::string::npos) {
            names.push_back(entry.name);
        }
    }
    listing.Close();
    std::string fileName;
    if (names.empty() || !NameAfterMarker(names.back(), &fileName)) {
        ReportError(folder, "no pieces (1__NAME, 2__NAME, ...) found");
        return;
    }
    const std::vector<int> numbers = PieceNumbers(names, fileName);
    if (const int missing = FirstMissingPiece(numbers)) {
        ReportError(InFolder(folder, PieceName(missing, fileName)), "missing");
        return;
    }
    std::vector<std::uint64_t> lengths;
    for (int number : numbers) {
        const std::string path = InFolder(folder, PieceName(number, fileName));
        platform::File piece;
        std::uint64_t length = 0;
        if (!piece.Open(path, platform::File::Access::kReadShareDenyWrite) ||
            !piece.Length(&length)) {
            ReportError(path, platform::LastSystemError());
            return;
        }
        piece.Close();
        lengths.push_back(length);
    }
    if (const int misfit = FirstMisfit(lengths)) {
        ReportError(InFolder(folder, PieceName(misfit, fileName)),
                    "its length does not fit the other pieces (cut short, or from another split)");
        return;
    }
    ReportError(folder, "the pieces could not be read");
}

// With delete-after-use, pieces deleted before a failure have their only copy in the staged
// output, which the engine then keeps: say where it is.
void ReportStaged(const std::string& target, const JoinChecker& checker) {
    const std::string staged = InFolder(target, checker.StagingName());
    if (!checker.StagingName().empty() && platform::PathExists(staged)) {
        ReportError(staged,
                    "holds the bytes of the pieces already deleted; the pieces left "
                    "follow them");
    }
}

}  // namespace

int JoinCommand(const Arguments& arguments) {
    std::string folder;
    if (!PiecesFolder(arguments.operand, &folder)) {
        return kExitSource;
    }
    std::string target = arguments.output;
    if (target.empty()) {
        target = JoinTargetFor(folder);
        const std::string leaf = LastComponent(target);
        if (leaf.empty() || leaf == "." || leaf == "..") {
            return UsageError(folder +
                              ": no folder is proposed for the joined file; give one "
                              "with -o DIR");
        }
    }

    ChecksumList sums;
    bool haveSums = false;
    const std::string sumsPath = InFolder(folder, kSumsName);
    if (arguments.verifyJoin) {
        std::string reason;
        switch (sums.Read(sumsPath, &reason)) {
            case ChecksumList::ReadResult::kRead:
                haveSums = true;
                break;
            case ChecksumList::ReadResult::kMissing:
                break;
            case ChecksumList::ReadResult::kFailed:
                ReportError(sumsPath, reason);
                return kExitSource;
        }
    }
    JoinChecker checker(haveSums ? &sums : nullptr);  // outlives the runner's worker
    std::string reason;
    if (!checker.Start(&reason)) {
        ReportError(target, "cannot start hashing: " + reason);
        return kExitTarget;
    }
    ProgressLine progress(stderr, ShowProgress(arguments));
    JobRunner runner(&progress, arguments.deleteSource, &checker);
    CJobController& controller = runner.Controller();
    JobEnd end;
    const bool ran =
        runner.Run([&] { return controller.StartJoin(target.c_str(), folder.c_str()); },
                   [&](std::uint64_t) {
                       if (arguments.verifyJoin && !checker.Verifying() && !arguments.quiet) {
                           ReportError(haveSums ? sumsPath : folder,
                                       (haveSums ? "does not list " : "no SHA256SUMS for ") +
                                           checker.OutputName() + "; joining without verifying");
                       }
                       return JobSize{checker.TotalBytes(), checker.PieceCount()};
                   },
                   &end);
    if (!ran) {
        return kExitTarget;
    }
    const std::string output = InFolder(target, checker.OutputName());
    switch (end.result) {
        case JOB_OK:
            progress.Finish("joined " + std::to_string(end.pieces) + " pieces into " + output +
                            ": " + FormatTransfer(checker.TotalBytes(), progress.Elapsed()) +
                            (checker.Verifying() ? ", verified" : ", not verified"));
            return kExitOk;
        case JOB_ABORTED:
            ReportLine("interrupted: the joined file was not made");
            ReportStaged(target, checker);
            return kExitInterrupted;
        case JOB_SOURCE_ERROR:
            if (!checker.BadName().empty()) {
                ReportError(InFolder(folder, checker.BadName()), checker.Problem());
                ReportStaged(target, checker);
                return kExitVerify;
            }
            ReportSourceError(folder);
            ReportStaged(target, checker);
            return kExitSource;
        default:
            ReportError(output, "could not be written (disk full, or no permission?)");
            ReportStaged(target, checker);
            return kExitTarget;
    }
}

}  // namespace cli
