// secanto split FILE: the engine's split, with SHA256SUMS and, with -r, recovery data
// written beside the pieces before the source may be deleted. A source on a disk has its
// recovery data planned before anything is made; a pipe's, from the pieces it gave.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/job_messages.h"
#include "cli/job_names.h"
#include "cli/job_runner.h"
#include "cli/output_folder.h"
#include "cli/progress_line.h"
#include "cli/report.h"
#include "cli/stale_pieces.h"
#include "engine/job_paths.h"
#include "engine/target_rules.h"
#include "folder/recovery_plan.h"
#include "folder/split_upkeep.h"
#include "platform/file.h"
#include "platform/file_system.h"
#include "platform/interrupt.h"
#include "platform/system_error.h"
#include "platform/text_encoding.h"
#include "recovery/file_name_rules.h"
#include "recovery/leftovers.h"
#include "recovery/set_creator.h"
#include "recovery/unicode_names.h"
#include "recovery/volume_names.h"
#include "sums/checksum_line.h"
#include "sums/split_sums_writer.h"
#include "sums/sums_file.h"

namespace cli {

namespace {

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

// The recovery files of a split of `fileName` with this many recovery slices: the index and
// the longest volume name, each with its temporary name.
std::vector<std::string> RecoveryFileNames(const std::string& fileName, std::uint32_t slices) {
    std::vector<std::string> names;
    AddWithTemporary(fileName + ".par2", &names);
    const std::vector<recovery::VolumePlan> volumes = recovery::PlanVolumes(slices);
    if (!volumes.empty()) {
        // All as long, padded alike.
        AddWithTemporary(recovery::VolumePath(fileName, volumes.back(), volumes), &names);
    }
    return names;
}

// The recovery data of a split of `file` into `target`, checked before anything is made: a
// name its packets cannot carry and the slices PAR2 allows (status 1: use larger pieces),
// and a name of its files that would name a device (status 3). kExitOk, or the status once said;
// `names` gets its files' names. A source that is no file on a disk is planned only at its end, so
// its names are the longest any plan gives.
int CheckRecovery(const Arguments& arguments,
                  const std::string& file,
                  const std::string& target,
                  std::vector<std::string>* names) {
    const std::string fileName = LastComponent(file);
    // The recovery data names the pieces in UTF-8 and as plain names of their folder.
    std::string utf8;
    std::u16string utf16;
    std::string why;
    if (!platform::NarrowToUtf8(PieceName(1, fileName), &utf8) ||
        !recovery::Utf8ToUtf16(utf8, &utf16)) {
        return UsageError(file,
                          "its name is no valid UTF-8, which the recovery data names pieces in; "
                          "rename it, or split without -r");
    }
    if (!recovery::IsPlainFileName(utf8, &why)) {
        return UsageError(file, "the recovery data cannot name its pieces (the name " + why +
                                    "); rename it, or split without -r");
    }
    if (!FileNameTaken(target, fileName + ".par2")) {
        return kExitTarget;
    }
    platform::FileStamp stamp;
    if (!platform::StampOf(file, &stamp) || !stamp.regular || stamp.folder) {
        *names = RecoveryFileNames(fileName, recovery::kMaxRecoverySlices);
        return kExitOk;
    }
    folder::RecoveryPlan plan;
    std::string reason;
    if (!folder::PlanSplitRecovery(stamp.length, arguments.pieceSize, arguments.recovery, &plan,
                                   &reason)) {
        return UsageError(file, reason);
    }
    *names = RecoveryFileNames(fileName, plan.recoverySlices);
    return kExitOk;
}

// Every name the split makes in `target`, checked before it makes any (status 1). A source
// that cannot be looked at is left to the job, which says why before it makes anything.
bool SplitNamesFit(const Arguments& arguments,
                   const std::string& file,
                   const std::string& target,
                   std::vector<std::string> names) {
    platform::FileStamp stamp;
    if (!platform::StampOf(file, &stamp) || stamp.folder) {
        return true;
    }
    // A source of unknown length may give as many pieces as can be numbered.
    const std::uint64_t count =
        stamp.regular ? stamp.length / arguments.pieceSize + 1 : std::uint64_t{INT_MAX};
    names.push_back(
        PieceName(static_cast<int>(std::min<std::uint64_t>(count, INT_MAX)), LastComponent(file)));
    for (const std::string& name : sums::SumsFileNames()) {
        names.push_back(name);
    }
    return NamesFit(target, names, "the target folder");
}

}  // namespace

int SplitCommand(const Arguments& arguments) {
    const std::string& file = arguments.operand;
    const bool proposed = arguments.output.empty();
    const std::string target = proposed ? SplitTargetFor(file) : arguments.output;
    if (target.empty()) {
        return NoProposal(file);
    }
    if (!OutputFolderUsable(target, proposed ? "give a folder for the pieces with -o DIR"
                                             : "give another folder")) {
        return kExitUsage;
    }
    if (folder::IsListOfFolder(file, target)) {
        return UsageError(file,
                          "is the checksum list of the folder the pieces go to; split a copy, or "
                          "into another folder");
    }

    std::vector<std::string> recoveryNames;
    if (arguments.recovery.value > 0) {
        if (const int status = CheckRecovery(arguments, file, target, &recoveryNames)) {
            return status;
        }
    }
    if (!SplitNamesFit(arguments, file, target, recoveryNames)) {
        return kExitUsage;
    }

    // A list that cannot take the split's lines is said before anything is made.
    std::string listPath;
    std::string listProblem;
    if (arguments.writeSums && !sums::SplitSumsWriter::CheckList(target, &listPath, &listProblem)) {
        ReportError(listPath, listProblem);
        return kExitTarget;
    }
    // What a killed split -r or repair of this name left goes; a live one's stays.
    recovery::RemoveLeftovers(target, LastComponent(file));

    // Outlives the runner's worker.
    folder::SplitUpkeep upkeep(arguments.writeSums, arguments.recovery,
                               [] { return !platform::Interrupted(); });
    const folder::RecoveryWriter& recovery = upkeep.Recovery();
    std::string reason;
    if (!upkeep.Start(&reason)) {
        ReportError(target, "cannot start hashing: " + reason);
        return kExitTarget;
    }
    ProgressLine progress(stderr, ShowProgress(arguments));
    JobRunner runner(&progress, arguments.deleteSource, &upkeep);
    CJobController& controller = runner.Controller();
    JobEnd end;
    const bool ran = runner.Run(
        [&] { return controller.StartSplit(target.c_str(), file.c_str(), arguments.pieceSize); },
        [&](std::uint64_t pieces) {
            const std::uint64_t length = controller.m_nBytesExpected.load();
            JobSize size;
            size.bytes = length == CJobController::kUnknownLength ? ProgressLine::kUnknown : length;
            size.pieces = pieces;
            return size;
        },
        &end, [&] { return recovery.Making() ? std::string("making the recovery data") : ""; });
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
                            (arguments.writeSums ? ", with SHA256SUMS" : "") +
                            (recovery.FilesMade() > 0
                                 ? ", with recovery data for " +
                                       CountOf(recovery.Plan().pieces, "piece", "pieces") + " (" +
                                       CountOf(recovery.FilesMade(), "file", "files") + ")"
                                 : ""));
            if (!arguments.quiet) {
                ReportLeftOverPieces(target, LastComponent(file), end.pieces);
            }
            return ReportNotDeleted(report) ? kExitSource : kExitOk;
        case JOB_ABORTED: {
            // A file on a disk is never changed; what a pipe gave is gone from it.
            const bool piped = controller.m_nBytesExpected.load() == CJobController::kUnknownLength;
            if (upkeep.Stopped()) {
                ReportError(file, std::string("interrupted while the recovery data was made: ") +
                                      (piped ? "" : "it is unchanged; ") +
                                      sums::PrintableName(target) + " holds its " + pieces +
                                      (arguments.writeSums ? " and SHA256SUMS" : "") +
                                      ", and no new recovery file");
            } else if (!end.begun) {
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
            if (!upkeep.FailedPath().empty()) {
                ReportError(upkeep.FailedPath(), upkeep.FailureReason());
            } else {
                ReportJobProblem(report, target, std::string(), std::string());
            }
            return kExitTarget;
    }
}

}  // namespace cli
