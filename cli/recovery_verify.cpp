// verify's lines and summaries from the recovery data, file by file, pieces in number order.
#include "cli/recovery_verify.h"

#include <algorithm>
#include <map>
#include <vector>

#include "cli/commands.h"
#include "cli/folder_pieces.h"
#include "cli/recovery_scan.h"
#include "cli/report.h"
#include "engine/job_paths.h"
#include "sums/checksum_line.h"

namespace cli {

namespace {

// The findings of one file's pieces against its set, by piece number: the pieces the set
// finds wrong, and those there that it does not describe.
std::map<int, sums::Finding> Findings(const recovery::SetReport& set,
                                      const std::string& fileName,
                                      const std::vector<int>& present) {
    std::map<int, sums::Finding> findings;
    std::vector<int> described;
    for (std::size_t i = 0; i < set.set.files.size(); ++i) {
        int number = 0;
        if (!ParsePieceNumber(set.set.files[i].name, fileName, &number)) {
            continue;
        }
        described.push_back(number);
        const recovery::PieceReport& piece = set.pieces[i];
        if (piece.condition == recovery::PieceCondition::kGood) {
            continue;
        }
        sums::Finding finding;
        finding.name = set.set.files[i].name;
        finding.piece = number;
        finding.reason = piece.reason;
        finding.kind = piece.condition == recovery::PieceCondition::kMissing
                           ? sums::Finding::Kind::kMissing
                       : piece.reason.empty() ? sums::Finding::Kind::kFailed
                                              : sums::Finding::Kind::kUnreadable;
        findings[number] = finding;
    }
    for (int number : present) {
        if (std::find(described.begin(), described.end(), number) == described.end()) {
            sums::Finding finding;
            finding.kind = sums::Finding::Kind::kNotListed;
            finding.name = PieceName(number, fileName);
            finding.piece = number;
            findings[number] = finding;
        }
    }
    return findings;
}

}  // namespace

int VerifyRecovery(const std::string& folder,
                   bool listPieces,
                   bool quiet,
                   const std::function<void(const sums::Finding&)>& found,
                   RecoveryVerdict* verdict) {
    *verdict = RecoveryVerdict();
    RecoveryScan scan;
    const recovery::Status scanned = scan.Run(folder, AnyPieces(), true);
    if (scanned.failure == recovery::Failure::kStopped) {
        ReportError(folder, "interrupted");
        return kExitInterrupted;
    }
    FolderPieces pieces;
    std::string reason;
    if (!scanned.Ok() || !pieces.Read(folder, &reason)) {
        ReportError(folder, scanned.Ok() ? reason : scanned.reason);
        return kExitSource;
    }
    verdict->found = scan.Found();
    if (!verdict->found) {
        return kExitOk;
    }
    // A refused set is a problem of its own: the recovery data meant for the pieces is no use.
    for (const recovery::SetReport& set : scan.Result().sets) {
        if (scan.Describes(set) && !set.Usable()) {
            ++verdict->problems;
        }
    }
    scan.ReportRefusedNames();
    // The files with pieces there, and those whose pieces are all gone.
    std::vector<std::string> files = pieces.Names();
    for (const recovery::SetReport& set : scan.Result().sets) {
        const std::string fileName = scan.FileOf(set);
        if (set.Usable() && !fileName.empty() &&
            std::find(files.begin(), files.end(), fileName) == files.end()) {
            files.push_back(fileName);
        }
    }
    for (const std::string& fileName : files) {
        const recovery::SetReport* set = scan.Chosen(fileName);
        if (set == nullptr) {
            if (listPieces) {
                // Nothing speaks for these pieces.
                for (int number : pieces.Numbers(fileName)) {
                    sums::Finding finding;
                    finding.kind = sums::Finding::Kind::kNotListed;
                    finding.name = PieceName(number, fileName);
                    finding.piece = number;
                    found(finding);
                    ++verdict->problems;
                }
            }
            continue;
        }
        verdict->checked += static_cast<int>(set->pieces.size());
        const std::map<int, sums::Finding> findings =
            Findings(*set, fileName, pieces.Numbers(fileName));
        if (listPieces) {
            for (const auto& finding : findings) {
                found(finding.second);
            }
            verdict->problems += static_cast<int>(findings.size());
        }
        const std::size_t bad = static_cast<std::size_t>(std::count_if(
            set->pieces.begin(), set->pieces.end(), [](const recovery::PieceReport& piece) {
                return piece.condition != recovery::PieceCondition::kGood;
            }));
        if (bad == 0 || quiet) {
            continue;
        }
        // The command that repairs this file's pieces: the folder when they are its only ones.
        const std::string operand =
            files.size() == 1 ? folder : InFolder(folder, PieceName(1, fileName));
        const std::string what = CountOf(bad, "piece", "pieces") +
                                 (files.size() == 1 ? "" : " of " + sums::PrintableName(fileName));
        ReportError(folder, set->Repairable()
                                ? what + " can be rebuilt: secanto repair " + ShellWord(operand)
                                : what + " missing or damaged cannot be rebuilt: " +
                                      CountOf(set->MoreNeeded(), "more recovery slice is",
                                              "more recovery slices are") +
                                      " needed");
    }
    return kExitOk;
}

}  // namespace cli
