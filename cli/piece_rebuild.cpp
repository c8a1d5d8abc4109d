// Scan, choose, check and rebuild, with the command line's words for each outcome.
#include "cli/piece_rebuild.h"

#include <algorithm>

#include "cli/commands.h"
#include "cli/job_names.h"
#include "cli/rebuilt_sums.h"
#include "cli/recovery_scan.h"
#include "cli/report.h"
#include "platform/interrupt.h"
#include "recovery/set_repairer.h"
#include "sums/sums_file.h"

namespace cli {

namespace {

int Interrupted(const std::string& folder) {
    ReportError(folder, "interrupted: no piece was changed");
    return kExitInterrupted;
}

int ReportRepairFailure(const recovery::Status& status, const std::string& folder) {
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
    ReportError(status.path, status.reason + "; no piece was changed");
    return kExitVerify;
}

}  // namespace

int RebuildPieces(const RebuildRequest& request, RebuildOutcome* outcome) {
    *outcome = RebuildOutcome();
    RecoveryScan scan;
    const recovery::Status scanned =
        scan.Run(request.folder, PiecesOf(request.fileName), request.rebuild);
    if (scanned.failure == recovery::Failure::kStopped) {
        return Interrupted(request.folder);
    }
    if (!scanned.Ok()) {
        ReportError(scanned.path, scanned.reason);
        return kExitSource;
    }
    scan.ReportRefusedNames();
    outcome->found = scan.Found();
    outcome->files = scan.Files();
    const recovery::SetReport* set = scan.Chosen();
    outcome->usable = set != nullptr;
    if (set == nullptr || !request.rebuild || set->Complete()) {
        return kExitOk;
    }
    const std::size_t bad = static_cast<std::size_t>(
        std::count_if(set->pieces.begin(), set->pieces.end(), [](const recovery::PieceReport& p) {
            return p.condition != recovery::PieceCondition::kGood;
        }));
    if (!set->Repairable()) {
        ReportError(
            request.folder,
            CountOf(bad, "piece", "pieces") + " missing or damaged cannot be rebuilt: " +
                CountOf(set->MoreNeeded(), "more recovery slice is", "more recovery slices are") +
                " needed");
        return kExitVerify;
    }
    // The pieces rebuilt, and the names they are written under first, must fit the folder.
    std::vector<std::string> names;
    for (const recovery::PieceReport& piece : set->pieces) {
        if (piece.condition != recovery::PieceCondition::kGood) {
            AddWithTemporary(LastComponent(piece.path), &names);
        }
    }
    if (!NamesFit(request.folder, names, "the pieces' folder")) {
        return kExitUsage;
    }
    RebuiltSums sums;
    std::string reason;
    if (request.checkSums &&
        sums.ReadList(request.folder, request.fileName, &reason) == RebuiltSums::Read::kFailed) {
        ReportError(InFolder(request.folder, sums::kSumsName),
                    "could not be read: " + reason + "; no piece was rebuilt");
        return kExitVerify;
    }
    if (request.announce) {
        ReportError(request.folder,
                    "rebuilding " +
                        CountOf(bad, "missing or damaged piece", "missing or damaged pieces") +
                        " from the recovery data");
    }
    recovery::RebuiltCheck check;
    if (request.checkSums) {
        check = [&](const std::string& path, const std::string& temporary, std::string* why) {
            return sums.Check(path, temporary, why);
        };
    }
    recovery::RepairResult result;
    const recovery::Status status = recovery::RepairSet(
        *set, [] { return !platform::Interrupted(); }, &result, check);
    outcome->rebuilt = static_cast<int>(result.rebuilt.size());
    return ReportRepairFailure(status, request.folder);
}

}  // namespace cli
