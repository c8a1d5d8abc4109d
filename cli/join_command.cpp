// secanto join DIR: the engine's join, staged under a hidden name and checked against the
// pieces' SHA256SUMS when there is one; pieces missing or damaged are first rebuilt from
// the recovery data there, when it suffices.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/job_messages.h"
#include "cli/job_names.h"
#include "cli/job_runner.h"
#include "cli/join_set.h"
#include "cli/output_folder.h"
#include "cli/piece_rebuild.h"
#include "cli/progress_line.h"
#include "cli/report.h"
#include "recovery/leftovers.h"
#include "engine/continue_probe.h"
#include "engine/job_paths.h"
#include "engine/target_rules.h"
#include "folder/join_upkeep.h"
#include "folder/join_verifier.h"
#include "platform/file_system.h"
#include "sums/checksum_line.h"

namespace cli {

namespace {

// With delete-after-use, pieces deleted before a failure have their only copy in the staged
// output, which the engine then keeps: say where it is, what it holds (the pieces deleted, or
// the whole file once it was made, while the last pieces are still there), and how to go on.
void ReportStaged(const std::string& folder,
                  const std::string& target,
                  const std::string& outputName) {
    if (outputName.empty()) {
        return;
    }
    const std::string staged = InFolder(target, StagingName(outputName));
    if (!platform::PathExists(staged)) {
        return;
    }
    ContinueProbe probe;
    if (ProbeContinue(folder, target, true, &probe, outputName) != ContinueFit::kFits) {
        ReportError(staged,
                    "holds the bytes of pieces already deleted; run the same command "
                    "again to go on");
        return;
    }
    const std::string left = probe.plan.kept + 1 == probe.plan.count
                                 ? "piece " + std::to_string(probe.plan.count)
                                 : "pieces " + std::to_string(probe.plan.kept + 1) + " to " +
                                       std::to_string(probe.plan.count);
    ReportError(staged, probe.whole ? "holds the whole file, and " + left +
                                          " of it are still there; run the same command again "
                                          "to finish"
                                    : "holds the first " + std::to_string(probe.plan.kept) +
                                          " pieces, which are deleted, and " + left +
                                          " follow them; run the same command again to go on");
}

// The command that goes on from the file of the output's name.
std::string ContinueCommand(const Arguments& arguments, const std::string& target) {
    return "secanto join " + ShellWord(arguments.operand) + " -o " + ShellWord(target) +
           (arguments.deleteSource ? " --delete" : "") + " --continue";
}

}  // namespace

// The folder the joined file goes into, checked with every name the join makes there:
// kExitOk with `target` set, or the status of what was said.
int ChooseTarget(const Arguments& arguments,
                 const std::string& folder,
                 const std::string& fileName,
                 std::string* target) {
    *target = arguments.output;
    if (target->empty()) {
        *target = JoinTargetFor(folder);
        const std::string leaf = LastComponent(*target);
        if (leaf.empty() || leaf == "." || leaf == "..") {
            return UsageError(folder,
                              "no folder is proposed for the joined file; give one with -o DIR");
        }
    }
    if (!OutputFolderUsable(*target, arguments.output.empty()
                                         ? "give a folder for the joined file with -o DIR"
                                         : "give another folder")) {
        return kExitUsage;
    }
    if (!FileNameTaken(*target, fileName)) {
        return kExitTarget;
    }
    // The output is written under its staged name first, unless a join goes on from it.
    std::vector<std::string> made = {fileName};
    if (!arguments.continueJoin) {
        made.push_back(StagingName(fileName));
    }
    return NamesFit(*target, made, "the target folder") ? kExitOk : kExitUsage;
}

// Where a join met with the folder and the output.
struct JoinNames {
    std::string folder;
    std::string target;
    std::string fileName;
};

// Says why a join failed, what its output holds and how to go on; the status to exit with.
int ReportFailedJoin(const Arguments& arguments,
                     const JobEnd& end,
                     const JobReport& report,
                     const sums::JoinChecker& checker,
                     const RebuildOutcome& rebuilt,
                     const JoinNames& names) {
    const std::string& folder = names.folder;
    const std::string& target = names.target;
    const std::string& fileName = names.fileName;
    const std::string output = InFolder(target, fileName);
    ReportNotDeleted(report);
    int status = end.result == JOB_SOURCE_ERROR ? kExitSource : kExitTarget;
    // A piece lost beside recovery data that could not be used is a failed check: the data
    // meant to stand in for it did not pass.
    const bool unrebuilt = rebuilt.found && !rebuilt.usable &&
                           (report.problem == JobReport::Problem::kMissingPiece ||
                            report.problem == JobReport::Problem::kMisfit ||
                            report.problem == JobReport::Problem::kNoPieces || checker.Failed());
    if (checker.Failed()) {
        ReportFinding(folder, checker.Failure());
        status = kExitVerify;
    } else if (report.problem == JobReport::Problem::kCanContinue) {
        ReportError(report.path,
                    "holds the first " + std::to_string(report.piece) +
                        " pieces, which are missing here; it is left as it is. To go on "
                        "from it: " +
                        ContinueCommand(arguments, target));
        return kExitSource;
    } else if (report.problem == JobReport::Problem::kPartialMisfit) {
        ReportError(report.path,
                    (arguments.continueJoin ? "cannot be gone on from: "
                                            : "holds pieces of a join that stopped, but ") +
                        report.reason + "; it is left as it is");
        return kExitSource;
    } else if (report.problem == JobReport::Problem::kInUse) {
        // The staged output there is the other join's.
        ReportJobProblem(report, target, folder, fileName);
        return status;
    } else {
        ReportJobProblem(report, target, folder, fileName);
        if (report.problem == JobReport::Problem::kBadName) {
            status = kExitSource;
        }
    }
    if (unrebuilt) {
        ReportError(folder, "no usable recovery data to rebuild it");
        status = kExitVerify;
    }
    ReportStaged(folder, target, checker.OutputName());
    if (arguments.continueJoin && arguments.deleteSource && end.pieces > 0) {
        ReportError(output, "holds the pieces joined so far; to go on: " +
                                ContinueCommand(arguments, target));
    }
    return status;
}

int JoinCommand(const Arguments& arguments) {
    std::string folder;
    std::string fileName;
    if (const int status = ChooseJoinSet(arguments.operand, &folder, &fileName)) {
        return status;
    }
    // What a killed split -r or repair of these pieces left goes; a live one's stays.
    recovery::RemoveLeftovers(folder, fileName);
    std::string target;
    if (const int status = ChooseTarget(arguments, folder, fileName, &target)) {
        return status;
    }

    folder::JoinVerifier verifier;  // outlives the runner's worker
    sums::JoinChecker& checker = verifier.Checker();
    if (arguments.verifyJoin) {
        checker.ReadList(folder);
    }
    std::string reason;
    if (!checker.Start(&reason)) {
        ReportError(target, "cannot start hashing: " + reason);
        return kExitTarget;
    }
    JoinOptions options;
    options.staged = !arguments.continueJoin;
    options.continueOutput = arguments.continueJoin;
    options.fileName = fileName;
    // With --delete, the recovery files and the list's lines go before the last pieces do.
    folder::JoinUpkeep upkeep(false, arguments.verifyJoin);  // outlives the runner's worker
    options.folderWork = &upkeep;
    ContinueProbe probe;
    const bool fits =
        ProbeContinue(folder, target, options.staged, &probe, fileName) == ContinueFit::kFits;
    // A file of the output's name that holds the whole file is what a join stopped after it
    // named it left: only the pieces left go (JoinRun), and nothing is rebuilt.
    ContinueProbe named;
    const bool whole =
        options.staged &&
        ProbeContinue(folder, target, false, &named, fileName) == ContinueFit::kFits && named.whole;
    const bool continuing = fits || whole || arguments.continueJoin;
    // Going on from a partial output, the pieces it holds are gone from the folder: the
    // recovery data would count them lost, so nothing is rebuilt then.
    RebuildRequest rebuild;
    rebuild.folder = folder;
    rebuild.fileName = fileName;
    rebuild.checkSums = arguments.verifyJoin;
    rebuild.rebuild = !continuing;
    rebuild.announce = !arguments.quiet;
    RebuildOutcome rebuilt;
    if (const int status = RebuildPieces(rebuild, &rebuilt)) {
        return status;
    }
    if (!arguments.quiet && fits) {
        ReportError(InFolder(target, probe.fileName),
                    "continuing from piece " + std::to_string(probe.plan.kept + 1) + " of " +
                        std::to_string(probe.plan.count));
    }
    ProgressLine progress(stderr, ShowProgress(arguments));
    JobRunner runner(&progress, arguments.deleteSource, &verifier);
    CJobController& controller = runner.Controller();
    JobEnd end;
    const bool ran = runner.Run(
        [&] { return controller.StartJoin(target.c_str(), folder.c_str(), options); },
        [&](std::uint64_t) {
            if (arguments.verifyJoin && !checker.Verifying() && !arguments.quiet) {
                ReportError(checker.HasList() ? checker.ListPath() : folder,
                            (checker.HasList() ? "does not list " : "no SHA256SUMS for ") +
                                sums::PrintableName(checker.OutputName()) +
                                "; joining without verifying");
            }
            // The bytes this run copies; a join that goes on has the others already.
            return JobSize{controller.m_nBytesExpected.load(), checker.PieceCount(),
                           [&] { return checker.PiecesJoined(); }};
        },
        &end);
    if (!ran) {
        return kExitTarget;
    }
    const JobReport& report = controller.LastReport();
    const std::string output = InFolder(target, fileName);
    switch (end.result) {
        case JOB_OK:
            progress.Finish("joined " + std::to_string(end.pieces) + " pieces into " +
                            sums::PrintableName(output) + ": " +
                            FormatTransfer(controller.m_nBytesCopied.load(), progress.Elapsed()) +
                            (checker.Verifying() ? ", verified" : ", not verified"));
            return ReportNotDeleted(report) ? kExitSource : kExitOk;
        case JOB_ABORTED:
            if (arguments.continueJoin) {
                ReportError(output, "interrupted; it holds the pieces joined so far, to go on: " +
                                        ContinueCommand(arguments, target));
            } else {
                ReportError(output, "interrupted: the joined file was not made");
                ReportStaged(folder, target, checker.OutputName());
            }
            return kExitInterrupted;
        default:
            break;
    }
    return ReportFailedJoin(arguments, end, report, checker, rebuilt,
                            JoinNames{folder, target, fileName});
}

}  // namespace cli
