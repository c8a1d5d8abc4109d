// secanto split FILE: the engine's split, with SHA256SUMS written beside the pieces.
#include <cstdint>
#include <cstdio>
#include <string>

#include "cli/commands.h"
#include "cli/job_messages.h"
#include "cli/job_runner.h"
#include "cli/progress_line.h"
#include "cli/report.h"
#include "engine/job_paths.h"
#include "engine/target_rules.h"
#include "platform/file.h"
#include "sums/checksum_line.h"
#include "sums/split_sums_writer.h"
#include "sums/sums_file.h"

namespace cli {

namespace {

// The list of the folder the pieces go to, its lock or its temporary file would be changed
// by the split that reads it.
bool IsListOfTarget(const std::string& file, const std::string& target) {
    platform::FileStamp folder;
    platform::FileStamp targetFolder;
    return sums::IsSumsFileName(LastComponent(file)) &&
           platform::StampOf(FolderOf(file), &folder) && platform::StampOf(target, &targetFolder) &&
           folder.SameFile(targetFolder);
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
    if (IsListOfTarget(file, target)) {
        return UsageError(sums::PrintableName(file) +
                          ": is the checksum list of the folder the pieces go to; split a "
                          "copy, or into another folder");
    }

    sums::SplitSumsWriter sums(arguments.writeSums);  // outlives the runner's worker
    std::string reason;
    if (!sums.Start(&reason)) {
        ReportError(target, "cannot start hashing: " + reason);
        return kExitTarget;
    }
    ProgressLine progress(stderr, ShowProgress(arguments));
    JobRunner runner(&progress, arguments.deleteSource, &sums);
    CJobController& controller = runner.Controller();
    JobEnd end;
    const bool ran = runner.Run(
        [&] { return controller.StartSplit(target.c_str(), file.c_str(), arguments.pieceSize); },
        [&](std::uint64_t pieces) {
            return JobSize{controller.m_nBytesExpected.load(), pieces};
        },
        &end);
    if (!ran) {
        return kExitTarget;
    }
    const JobReport& report = controller.LastReport();
    const std::uint64_t length = controller.m_nBytesCopied.load();
    switch (end.result) {
        case JOB_OK:
            progress.Finish("split " + file + " into " + std::to_string(end.pieces) +
                            " pieces in " + target + ": " +
                            FormatTransfer(length, progress.Elapsed()) +
                            (arguments.writeSums ? ", with SHA256SUMS" : ""));
            return ReportNotDeleted(report) ? kExitSource : kExitOk;
        case JOB_ABORTED:
            ReportError(sums::PrintableName(file), "interrupted: it is unchanged; " +
                                                       std::to_string(end.pieces) +
                                                       " of its pieces were finished in " + target);
            return kExitInterrupted;
        case JOB_SOURCE_ERROR:
            ReportProblem(report);
            return kExitSource;
        default:
            if (!sums.FailedPath().empty()) {
                ReportError(sums::PrintableName(sums.FailedPath()), sums.FailureReason());
            } else {
                ReportProblem(report);
            }
            return kExitTarget;
    }
}

}  // namespace cli
