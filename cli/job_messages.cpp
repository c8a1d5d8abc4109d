// The command line's words for what went wrong in a job or in a check against SHA256SUMS.
#include "cli/job_messages.h"

#include <string>

#include "cli/commands.h"
#include "cli/output_folder.h"
#include "cli/report.h"
#include "cli/stale_pieces.h"
#include "engine/job_paths.h"
#include "sums/checksum_line.h"

namespace cli {

namespace {

using Problem = JobReport::Problem;

std::string WithReason(const std::string& words, const std::string& reason) {
    return reason.empty() ? words : words + ": " + reason;
}

}  // namespace

void ReportProblem(const JobReport& report) {
    const std::string& path = report.path;
    switch (report.problem) {
        case Problem::kNone:
        case Problem::kVetoed:
            return;
        case Problem::kNoPieces:
            return ReportError(
                path, WithReason("no pieces (1__NAME, 2__NAME, ...) found", report.reason));
        case Problem::kBadName:
            return ReportError(path, "no file can be named as these pieces name it");
        case Problem::kMissingPiece:
            return ReportError(path, "missing");
        case Problem::kMisfit:
            return ReportError(
                path,
                "its length does not fit the other pieces (cut short, or from another split)");
        case Problem::kUnreadable:
            return ReportError(path, WithReason("could not be read", report.reason));
        case Problem::kChanged:
            return ReportError(path, "changed while it was being read");
        case Problem::kUnwritable:
            return ReportError(path, WithReason("could not be written", report.reason));
        case Problem::kNameTooLong:
            return ReportError(path, "file name too long for the target folder");
        case Problem::kTooManyPieces:
            return ReportError(path,
                               "would need more pieces than can be numbered; use larger pieces");
        case Problem::kOutputMoved:
            return ReportError(path, "was removed or replaced while it was being written");
        case Problem::kInUse:
            return ReportError(path, "another split or join is using it; nothing was changed");
        case Problem::kPartialMisfit:
            return ReportError(path, WithReason("does not fit the pieces", report.reason));
        case Problem::kCanContinue:
            return ReportError(path, "holds the first " + std::to_string(report.piece) +
                                         " pieces, which are missing");
        case Problem::kNotDurable:
            return ReportError(path, WithReason("is whole and in place, but its folder entry may "
                                                "not be on the disk yet",
                                                report.reason));
    }
}

void ReportJobProblem(const JobReport& report,
                      const std::string& target,
                      const std::string& piecesFolder,
                      const std::string& fileName) {
    const bool said =
        (report.problem == Problem::kMisfit && ReportPiecesAfterSet(piecesFolder, fileName)) ||
        (report.problem == Problem::kUnwritable && ExplainUnmadeFolder(target));
    if (!said) {
        ReportProblem(report);
    }
}

bool ReportNotDeleted(const JobReport& report) {
    if (report.notDeleted.empty()) {
        return false;
    }
    ReportError(report.notDeleted, WithReason("not deleted", report.notDeletedReason));
    return true;
}

void ReportFinding(const std::string& folder, const sums::Finding& finding) {
    using Kind = sums::Finding::Kind;
    const std::string path = InFolder(folder, finding.name);
    switch (finding.kind) {
        case Kind::kFailed:
            return ReportError(path, finding.piece > 0
                                         ? "does not match its line in SHA256SUMS"
                                         : "the joined bytes do not match its line in SHA256SUMS");
        case Kind::kMissing:
            return ReportError(path, "missing, though SHA256SUMS lists it");
        case Kind::kNotListed:
            return ReportError(path, "not listed in SHA256SUMS");
        case Kind::kUnreadable:
            return ReportError(path, WithReason("could not be read", finding.reason));
        case Kind::kConflict:
            return ReportError(path, "SHA256SUMS has lines for it that disagree");
        case Kind::kMalformed:
            return ReportError(finding.name, "line " + std::to_string(finding.line) +
                                                 " is no checksum line sha256sum could read");
        case Kind::kListUnreadable:
            return ReportError(finding.name, WithReason("could not be read", finding.reason));
    }
}

void ReportRefusedNames(const std::vector<folder::RefusedName>& refused) {
    for (const folder::RefusedName& name : refused) {
        ReportError(name.recoveryFile, "refused the name " + sums::PrintableName(name.name) + " (" +
                                           name.reason + "); its recovery data is not used");
    }
}

void ReportSetsNotUsed(const std::vector<folder::SetNotUsed>& notUsed, bool partialToo) {
    for (const folder::SetNotUsed& set : notUsed) {
        if (partialToo || !set.partial) {
            ReportError(set.recoveryFile, "not used: " + set.reason);
        }
    }
}

}  // namespace cli
