// secanto split FILE: the engine's split, with SHA256SUMS written beside the pieces.
#include <cstdint>
#include <cstdio>
#include <string>

#include "cli/commands.h"
#include "cli/job_messages.h"
#include "cli/job_runner.h"
#include "cli/output_folder.h"
#include "cli/progress_line.h"
#include "cli/report.h"
#include "cli/stale_pieces.h"
#include "engine/job_paths.h"
#include "engine/target_rules.h"
#include "platform/file.h"
#include "platform/system_error.h"
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

// Without -o and without an extension in FILE's name no folder is proposed; but a FILE that
// is not there, or is a folder, is first told as the system tells it. Looked at, not opened,
// unless it is a folder: opening a pipe would wait for a writer.
int NoProposal(const std::string& file) {
    JobReport report;
    report.problem = JobReport::Problem::kUnreadable;
    report.path = file;
    platform::FileStamp stamp;
    platform::File folder;
    if (!platform::StampOf(file, &stamp) ||
        (stamp.folder && !folder.Open(file, platform::File::Access::kReadShareDenyWrite))) {
        report.reason = platform::LastSystemError();
        ReportProblem(report);
        return kExitSource;
    }
    folder.Close();
    return UsageError(file,
                      "its name has no extension, so no folder is proposed for the pieces; give "
                      "one with -o DIR");
}

}  // namespace

int SplitCommand(const Arguments& arguments) {
    const std::string& file = arguments.operand;
    const bool proposed = arguments.output.empty();
    const std::string target = proposed ? SplitTargetFor(file) : arguments.output;
    if (target.empty()) {
        return NoProposal(file);
    }
    if (!FolderNamesTaken(target, proposed ? "give a folder for the pieces with -o DIR"
                                           : "give another folder")) {
        return kExitUsage;
    }
    if (IsListOfTarget(file, target)) {
        return UsageError(file,
                          "is the checksum list of the folder the pieces go to; split a copy, or "
                          "into another folder");
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
            const std::uint64_t length = controller.m_nBytesExpected.load();
            return JobSize{
                length == CJobController::kUnknownLength ? ProgressLine::kUnknown : length, pieces};
        },
        &end);
    if (!ran) {
        return kExitTarget;
    }
    const JobReport& report = controller.LastReport();
    const std::uint64_t length = controller.m_nBytesCopied.load();
    const std::string pieces =
        std::to_string(end.pieces) + (end.pieces == 1 ? " piece" : " pieces");
    switch (end.result) {
        case JOB_OK:
            progress.Finish("split " + sums::PrintableName(file) + " into " + pieces + " in " +
                            sums::PrintableName(target) + ": " +
                            FormatTransfer(length, progress.Elapsed()) +
                            (arguments.writeSums ? ", with SHA256SUMS" : ""));
            if (!arguments.quiet) {
                ReportLeftOverPieces(target, LastComponent(file), end.pieces);
            }
            return ReportNotDeleted(report) ? kExitSource : kExitOk;
        case JOB_ABORTED: {
            // A file on a disk is never changed; what a pipe gave is gone from it.
            const bool piped = controller.m_nBytesExpected.load() == CJobController::kUnknownLength;
            if (!end.begun) {
                ReportError(file, "interrupted before it was read: no piece was made");
            } else {
                ReportError(file, std::string("interrupted: ") +
                                      (piped ? "" : "it is unchanged; ") +
                                      sums::PrintableName(target) + " holds the first " + pieces +
                                      (piped ? " of what was read" : "") +
                                      " and may hold a part of the next; SHA256SUMS is unchanged");
            }
            return kExitInterrupted;
        }
        case JOB_SOURCE_ERROR:
            ReportProblem(report);
            return kExitSource;
        default:
            if (!sums.FailedPath().empty()) {
                ReportError(sums.FailedPath(), sums.FailureReason());
            } else {
                ReportJobProblem(report, target, std::string(), std::string());
            }
            return kExitTarget;
    }
}

}  // namespace cli
