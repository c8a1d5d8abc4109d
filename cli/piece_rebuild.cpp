#include "cli/piece_rebuild.h"

#include <vector>

#include "cli/job_messages.h"
#include "cli/job_names.h"
#include "cli/report.h"
#include "engine/job_paths.h"
#include "folder/piece_rebuild.h"
#include "folder/repair_claim.h"
#include "platform/interrupt.h"
#include "sums/checksum_line.h"
#include "platform/system_error.h"

namespace cli {

namespace {

int Interrupted(const std::string& folder) {
    ReportError(folder, "interrupted: no piece was changed");
    return kExitInterrupted;
}

int ReportRepairFailure(const recovery::Status& status,
                        const std::string& folder,
                        const std::string& recoveryFile) {
    switch (status.failure) {
        case recovery::Failure::kNone:
            return kExitOk;
        case recovery::Failure::kStopped:
            return Interrupted(folder);
        case recovery::Failure::kSource:
            ReportError(status.path, "could not be read: " + status.reason);
            return kExitSource;
        case recovery::Failure::kTarget:
            ReportError(status.path, status.reason);
            return kExitTarget;
        case recovery::Failure::kBadRequest:
        case recovery::Failure::kRecoveryData:
        case recovery::Failure::kNotEnough:
            break;
    }
    ReportError(status.path, status.reason + " (recovery data from " +
                                 sums::PrintableName(LastComponent(recoveryFile)) +
                                 "); no piece was changed");
    return kExitVerify;
}

// As a join refused for a set in use says it.
int ReportClaim(folder::RepairClaim::Outcome outcome, const folder::RepairClaim& claim) {
    JobReport report;
    report.path = claim.Path();
    switch (outcome) {
        case folder::RepairClaim::Outcome::kHeld:
            return kExitOk;
        case folder::RepairClaim::Outcome::kInUse:
            report.problem = JobReport::Problem::kInUse;
            break;
        case folder::RepairClaim::Outcome::kFailed:
            report.problem = JobReport::Problem::kUnreadable;
            report.reason = platform::LastSystemError();
            break;
    }
    ReportProblem(report);
    return kExitSource;
}

}  // namespace

int RebuildPieces(const RebuildRequest& request, RebuildOutcome* outcome) {
    *outcome = RebuildOutcome();
    const recovery::KeepGoing keepGoing = [] { return !platform::Interrupted(); };
    folder::RepairClaim claim;
    if (const int status = ReportClaim(claim.ForLooking(request.folder, request.fileName), claim)) {
        return status;
    }
    folder::PieceRebuild rebuild;
    const folder::PieceRebuild::Found found = rebuild.Look(
        request.folder, request.fileName, request.rebuild, request.checkSums, keepGoing);
    using Found = folder::PieceRebuild::Found;
    if (found == Found::kStopped) {
        return Interrupted(request.folder);
    }
    if (found == Found::kFailed) {
        ReportError(rebuild.Failure().path, rebuild.Failure().reason);
        return kExitSource;
    }
    ReportRefusedNames(rebuild.Refused());
    ReportSetsNotUsed(rebuild.NotUsed(), found == Found::kNotUsable);
    outcome->found = found != Found::kNoRecovery;
    outcome->usable = outcome->found && found != Found::kNotUsable;
    const std::size_t missing = static_cast<std::size_t>(rebuild.Missing());
    switch (found) {
        case Found::kTooFew:
            ReportError(request.folder, CountOf(missing, "piece", "pieces") +
                                            " missing or damaged cannot be rebuilt: " +
                                            CountOf(rebuild.MoreNeeded(), "more recovery slice is",
                                                    "more recovery slices are") +
                                            " needed");
            return kExitVerify;
        case Found::kListUnreadable:
            ReportError(rebuild.Failure().path, "could not be read: " + rebuild.Failure().reason +
                                                    "; no piece was rebuilt");
            return kExitVerify;
        case Found::kRebuildable:
            break;
        default:
            return kExitOk;
    }
    // The pieces rebuilt, and the names they are written under first, must fit the folder.
    std::vector<std::string> names;
    for (const std::string& path : rebuild.PiecesToRebuild()) {
        AddWithTemporary(LastComponent(path), &names);
    }
    if (!NamesFit(request.folder, names, "the pieces' folder")) {
        return kExitUsage;
    }
    if (const int status = ReportClaim(claim.ForRebuilding(), claim)) {
        return status;
    }
    if (request.announce) {
        ReportError(request.folder,
                    "rebuilding " +
                        CountOf(missing, "missing or damaged piece", "missing or damaged pieces") +
                        " from the recovery data");
    }
    return ReportRepairFailure(rebuild.Rebuild(keepGoing, &outcome->rebuilt), request.folder,
                               rebuild.RecoveryFile());
}

}  // namespace cli
