#include "folder/piece_rebuild.h"

#include <algorithm>

#include "engine/job_paths.h"
#include "folder/folder_pieces.h"
#include "recovery/set_repairer.h"
#include "sums/sums_file.h"

namespace folder {

PieceRebuild::Found PieceRebuild::Look(const std::string& folder,
                                       const std::string& fileName,
                                       bool checkPieces,
                                       bool checkSums,
                                       const recovery::KeepGoing& keepGoing) {
    m_set = nullptr;
    m_missing = 0;
    const recovery::Status scanned = m_scan.Run(folder, PiecesOf(fileName), checkPieces, keepGoing);
    if (scanned.failure == recovery::Failure::kStopped) {
        return Found::kStopped;
    }
    if (!scanned.Ok()) {
        m_failure = scanned;
        return Found::kFailed;
    }
    if (!m_scan.Found()) {
        return Found::kNoRecovery;
    }
    FolderPieces pieces;
    std::string reason;
    if (!pieces.Read(folder, &reason)) {
        m_failure = recovery::Status::Fail(recovery::Failure::kSource, folder, reason);
        return Found::kFailed;
    }
    // The list is the witness of what replaces a piece, also for a join that does not verify;
    // one that cannot be read stops a rebuild only where the join would have read it.
    m_sums = RebuiltSums();
    bool listRead = true;
    if (m_sums.ReadList(folder, fileName, &reason) == RebuiltSums::Read::kFailed) {
        m_sums = RebuiltSums();
        listRead = !checkSums;
        m_failure = recovery::Status::Fail(recovery::Failure::kSource,
                                           InFolder(folder, sums::kSumsName), reason);
    }
    const recovery::Status chosen =
        m_choice.Choose(m_scan, fileName, pieces.Numbers(fileName), m_sums, keepGoing);
    if (chosen.failure == recovery::Failure::kStopped) {
        return Found::kStopped;
    }
    if (!chosen.Ok()) {
        m_failure = chosen;
        return Found::kFailed;
    }
    m_set = m_choice.Chosen();
    if (m_set == nullptr) {
        return Found::kNotUsable;
    }
    if (!checkPieces || m_set->Complete()) {
        return Found::kWhole;
    }
    m_missing = static_cast<int>(std::count_if(
        m_set->pieces.begin(), m_set->pieces.end(), [](const recovery::PieceReport& p) {
            return p.condition != recovery::PieceCondition::kGood;
        }));
    if (!m_set->Repairable()) {
        return Found::kTooFew;
    }
    return listRead ? Found::kRebuildable : Found::kListUnreadable;
}

std::uint32_t PieceRebuild::MoreNeeded() const {
    return m_set == nullptr ? 0 : m_set->MoreNeeded();
}

std::string PieceRebuild::RecoveryFile() const {
    return m_set == nullptr || m_set->set.parFiles.empty() ? std::string()
                                                           : m_set->set.parFiles.front();
}

std::vector<std::string> PieceRebuild::PiecesToRebuild() const {
    std::vector<std::string> paths;
    if (m_set != nullptr) {
        for (const recovery::PieceReport& piece : m_set->pieces) {
            if (piece.condition != recovery::PieceCondition::kGood) {
                paths.push_back(piece.path);
            }
        }
    }
    return paths;
}

std::uint64_t PieceRebuild::AskedAbout() const {
    if (m_set == nullptr) {
        return 1;
    }
    // The asking thread does about half of each pass: over the set's pieces to solve the lost
    // slices, and over the rebuilt pieces to check them; and asks once more per rebuilt piece
    // and at each end.
    std::uint64_t bytes = 0;
    for (std::size_t i = 0; i < m_set->set.files.size(); ++i) {
        const std::uint64_t length = m_set->set.files[i].length;
        const bool rebuilt = i < m_set->pieces.size() &&
                             m_set->pieces[i].condition != recovery::PieceCondition::kGood;
        bytes += rebuilt ? 2 * length : length;
    }
    return bytes / (2 * std::uint64_t{recovery::kKeepGoingInterval}) +
           static_cast<std::uint64_t>(m_missing) + 2;
}

recovery::Status PieceRebuild::Rebuild(const recovery::KeepGoing& keepGoing, int* rebuilt) {
    *rebuilt = 0;
    const int pieces = static_cast<int>(m_set->set.files.size());
    const recovery::RebuiltCheck check =
        [this, pieces, &keepGoing](const std::vector<recovery::RebuiltFile>& files) {
            return m_sums.Check(files, pieces, keepGoing);
        };
    recovery::RepairResult result;
    recovery::Status status = recovery::RepairSet(*m_set, keepGoing, &result, check);
    *rebuilt = static_cast<int>(result.rebuilt.size());
    return status;
}

}  // namespace folder
