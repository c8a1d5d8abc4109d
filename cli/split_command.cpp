// secanto split FILE: the engine's split, with SHA256SUMS written beside the pieces.
#include <cstdint>
#include <cstdio>
#include <string>

#include "cli/checksum_watcher.h"
#include "cli/commands.h"
#include "cli/job_runner.h"
#include "cli/progress_line.h"
#include "cli/report.h"
#include "engine/target_rules.h"
#include "platform/file.h"
#include "platform/folder_listing.h"
#include "platform/system_error.h"

namespace cli {

namespace {

// The engine keeps no reason for a failed write. A target folder that cannot be listed
// (not made, or a file in the way) gives the system's; otherwise the likely causes are
// named.
void ReportTargetError(const std::string& target) {
    std::string withSeparator = InFolder(target, "");
    platform::FolderListing listing;
    if (!listing.Start(withSeparator)) {
        ReportError(target, platform::LastSystemError());
        return;
    }
    listing.Close();
    ReportError(target, "the pieces could not be written (disk full, or no permission?)");
}

}  // namespace

int SplitCommand(const Arguments& arguments) {
    const std::string& file = arguments.operand;
    const std::string target = arguments.output.empty() ? SplitTargetFor(file) : arguments.output;
    if (target.empty()) {
        return UsageError(file +
                          ": its name has no extension, so no folder is proposed for the "
                          "pieces; give one with -o DIR");
    }
    // Opened here as well as by the job, so that a missing or unreadable file is named with
    // the system's reason, and its length is known for the progress.
    std::uint64_t length = 0;
    {
        platform::File source;
        if (!source.Open(file, platform::File::Access::kReadShareDenyWrite) ||
            !source.Length(&length)) {
            ReportError(file, platform::LastSystemError());
            return kExitSource;
        }
        source.Close();
    }

    SplitSumsWriter sums;  // outlives the runner, whose worker calls it
    std::string reason;
    if (arguments.writeSums && !sums.Start(&reason)) {
        ReportError(target, "cannot start hashing: " + reason);
        return kExitTarget;
    }
    ProgressLine progress(stderr, ShowProgress(arguments));
    JobRunner runner(&progress, arguments.deleteSource, arguments.writeSums ? &sums : nullptr);
    CJobController& controller = runner.Controller();
    JobEnd end;
    const bool ran = runner.Run(
        [&] { return controller.StartSplit(target.c_str(), file.c_str(), arguments.pieceSize); },
        [&](std::uint64_t pieces) {
            return JobSize{length, pieces};
        },
        &end);
    if (!ran) {
        return kExitTarget;
    }
    switch (end.result) {
        case JOB_OK:
            progress.Finish("split " + file + " into " + std::to_string(end.pieces) +
                            " pieces in " + target + ": " +
                            FormatTransfer(length, progress.Elapsed()) +
                            (arguments.writeSums ? ", with SHA256SUMS" : ""));
            return kExitOk;
        case JOB_ABORTED:
            ReportLine("interrupted: " + file + " is unchanged; " + std::to_string(end.pieces) +
                       " of its pieces were finished in " + target);
            return kExitInterrupted;
        case JOB_SOURCE_ERROR:
            ReportError(file, "could not be read to its end");
            return kExitSource;
        default:
            if (!sums.FailedPath().empty()) {
                ReportError(sums.FailedPath(), sums.FailureReason());
            } else {
                ReportTargetError(target);
            }
            return kExitTarget;
    }
}

}  // namespace cli
