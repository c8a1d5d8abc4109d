#include "folder/recovery_verdict.h"

#include <algorithm>
#include <map>

#include "engine/job_paths.h"
#include "folder/folder_pieces.h"

namespace folder {

namespace {

sums::Finding PieceFinding(sums::Finding::Kind kind, int number, const std::string& fileName) {
    sums::Finding finding;
    finding.kind = kind;
    finding.name = PieceName(number, fileName);
    finding.piece = number;
    return finding;
}

// The findings of one file's pieces against its set, by piece number: the pieces the set
// finds wrong, and those there that it does not describe.
std::vector<sums::Finding> Findings(const recovery::SetReport& set,
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
            findings[number] = PieceFinding(sums::Finding::Kind::kNotListed, number, fileName);
        }
    }
    std::vector<sums::Finding> ordered;
    for (const auto& finding : findings) {
        ordered.push_back(finding.second);
    }
    return ordered;
}

}  // namespace

recovery::Status CheckAgainstRecovery(const std::string& folder,
                                      const recovery::KeepGoing& keepGoing,
                                      RecoveryVerdict* verdict) {
    *verdict = RecoveryVerdict();
    RecoveryScan scan;
    recovery::Status scanned = scan.Run(folder, AnyPieces(), true, keepGoing);
    if (!scanned.Ok()) {
        return scanned;
    }
    FolderPieces pieces;
    std::string reason;
    if (!pieces.Read(folder, &reason)) {
        return recovery::Status::Fail(recovery::Failure::kSource, folder, reason);
    }
    verdict->found = scan.Found();
    if (!verdict->found) {
        return recovery::Status();
    }
    for (const recovery::SetReport& set : scan.Result().sets) {
        if (scan.Describes(set) && !set.Usable()) {
            ++verdict->unusable;
        }
    }
    verdict->refused = scan.Refused();
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
        FileVerdict file;
        file.fileName = fileName;
        RebuiltSums list;
        std::string reason;
        if (list.ReadList(folder, fileName, &reason) == RebuiltSums::Read::kFailed) {
            list = RebuiltSums();  // said where the list is read for the pieces
        }
        SetChoice choice;
        const recovery::Status chosen =
            choice.Choose(scan, fileName, pieces.Numbers(fileName), list, keepGoing);
        if (!chosen.Ok()) {
            return chosen;
        }
        const recovery::SetReport* set = choice.Chosen();
        for (const SetNotUsed& notUsed : choice.NotUsed()) {
            if (!notUsed.partial || set == nullptr) {
                verdict->notUsed.push_back(notUsed);
                ++verdict->unusable;
            }
        }
        if (set == nullptr) {
            // Nothing speaks for these pieces.
            for (int number : pieces.Numbers(fileName)) {
                file.findings.push_back(
                    PieceFinding(sums::Finding::Kind::kNotListed, number, fileName));
            }
            verdict->files.push_back(file);
            continue;
        }
        file.described = true;
        file.checked = static_cast<int>(set->pieces.size());
        file.findings = Findings(*set, fileName, pieces.Numbers(fileName));
        file.bad = static_cast<std::size_t>(std::count_if(
            set->pieces.begin(), set->pieces.end(), [](const recovery::PieceReport& piece) {
                return piece.condition != recovery::PieceCondition::kGood;
            }));
        file.repairable = set->Repairable();
        file.moreNeeded = set->MoreNeeded();
        verdict->files.push_back(file);
    }
    return recovery::Status();
}

}  // namespace folder
