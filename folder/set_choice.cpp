// The faults a set is refused for, in the order they are cheap to find: what it describes,
// then what it says of the pieces there against the other witnesses.
#include "folder/set_choice.h"

#include <algorithm>
#include <map>

#include "engine/job_paths.h"
#include "sums/checksum_line.h"

namespace folder {

namespace {

bool Holds(const std::vector<int>& numbers, int number) {
    return std::find(numbers.begin(), numbers.end(), number) != numbers.end();
}

// Whether `set` finds the piece `number` of `fileName` there and good.
bool FindsGood(const recovery::SetReport& set, const std::string& fileName, int number) {
    for (std::size_t i = 0; i < set.set.files.size() && i < set.pieces.size(); ++i) {
        int described = 0;
        if (ParsePieceNumber(set.set.files[i].name, fileName, &described) && described == number) {
            return set.pieces[i].condition == recovery::PieceCondition::kGood;
        }
    }
    return false;
}

// The order of preference: a set that can rebuild everything lost, the fewest lost slices
// first; then the one that lacks the fewest recovery slices.
bool Better(const recovery::SetReport& a, const recovery::SetReport& b) {
    if (a.Repairable() != b.Repairable()) {
        return a.Repairable();
    }
    return a.Repairable() ? a.lostSlices < b.lostSlices : a.MoreNeeded() < b.MoreNeeded();
}

}  // namespace

recovery::Status SetChoice::Choose(const RecoveryScan& scan,
                                   const std::string& fileName,
                                   const std::vector<int>& present,
                                   const RebuiltSums& list,
                                   const recovery::KeepGoing& keepGoing) {
    m_fileName = fileName;
    m_present = present;
    m_list = &list;
    m_listed.clear();
    for (const auto& line : list.Listed().pieces) {
        m_listed.push_back(line.first);
    }
    for (const std::string& name : list.Listed().conflicts) {
        int number = 0;
        if (ParsePieceNumber(name, fileName, &number) && !Holds(m_listed, number)) {
            m_listed.push_back(number);
        }
    }
    m_chosen = nullptr;
    m_notUsed.clear();
    std::vector<const recovery::SetReport*> sets;
    for (const recovery::SetReport& set : scan.Result().sets) {
        if (set.Usable() && scan.FileOf(set) == fileName) {
            sets.push_back(&set);
        }
    }
    for (const recovery::SetReport* set : sets) {
        recovery::Status failed;
        bool partial = false;
        const std::string fault = Fault(*set, sets, keepGoing, &partial, &failed);
        if (!failed.Ok()) {
            return failed;
        }
        if (!fault.empty()) {
            m_notUsed.push_back(
                {set->set.parFiles.empty() ? std::string() : set->set.parFiles[0], fault, partial});
        } else if (m_chosen == nullptr || Better(*set, *m_chosen)) {
            m_chosen = set;
        }
    }
    return recovery::Status();
}

std::string SetChoice::Fault(const recovery::SetReport& set,
                             const std::vector<const recovery::SetReport*>& others,
                             const recovery::KeepGoing& keepGoing,
                             bool* partial,
                             recovery::Status* failed) const {
    // What it describes: pieces of this file only, as a split makes them.
    std::map<int, std::size_t> described;  // piece number, index in the set
    for (std::size_t i = 0; i < set.set.files.size(); ++i) {
        int number = 0;
        if (!ParsePieceNumber(set.set.files[i].name, m_fileName, &number)) {
            return "describes " + sums::PrintableName(set.set.files[i].name) +
                   ", which is no piece of " + sums::PrintableName(m_fileName);
        }
        described[number] = i;
    }
    if (described.empty()) {
        return "describes no piece";
    }
    const int count = static_cast<int>(described.size());
    for (const auto& piece : described) {
        const int number = piece.first;
        if (Holds(m_present, number)) {
            continue;
        }
        if (!m_listed.empty() && !Holds(m_listed, number)) {
            return "describes " + sums::PrintableName(PieceName(number, m_fileName)) +
                   ", which SHA256SUMS does not list and which is not here";
        }
        if (m_listed.empty() && number > count) {
            return "describes " + sums::PrintableName(PieceName(number, m_fileName)) +
                   ", which is not here and follows a gap no split leaves";
        }
    }
    // All as long as the first but the last, which is no longer.
    const std::uint64_t first = set.set.files[described.begin()->second].length;
    for (auto piece = described.begin(); piece != described.end(); ++piece) {
        const std::uint64_t length = set.set.files[piece->second].length;
        const bool last = std::next(piece) == described.end();
        if (last ? length > first : length != first) {
            return "describes " + sums::PrintableName(PieceName(piece->first, m_fileName)) +
                   " as " + std::to_string(length) + " bytes long after pieces of " +
                   std::to_string(first) + ", which no split makes";
        }
    }
    const std::vector<int>& pieces = m_listed.empty() ? m_present : m_listed;
    for (int number : pieces) {
        if (described.count(number) == 0) {
            *partial = true;
            return "does not describe " + sums::PrintableName(PieceName(number, m_fileName)) +
                   (m_listed.empty() ? ", a piece here" : ", a piece SHA256SUMS lists");
        }
    }
    // What it says of the pieces there: one it finds damaged that SHA256SUMS or another set
    // finds good shows the set was made for other bytes.
    for (const auto& piece : described) {
        if (piece.second >= set.pieces.size() ||
            set.pieces[piece.second].condition != recovery::PieceCondition::kDamaged) {
            continue;
        }
        const std::string name = sums::PrintableName(PieceName(piece.first, m_fileName));
        for (const recovery::SetReport* other : others) {
            if (other != &set && FindsGood(*other, m_fileName, piece.first)) {
                return "made for other bytes: " + name + " matches " +
                       sums::PrintableName(LastComponent(
                           other->set.parFiles.empty() ? std::string() : other->set.parFiles[0]));
            }
        }
        bool matches = false;
        std::string reason;
        if (!m_list->MatchesLine(piece.first, set.pieces[piece.second].path, keepGoing, &matches,
                                 &reason)) {
            if (reason.empty()) {
                *failed =
                    recovery::Status::Fail(recovery::Failure::kStopped, set.folder, "stopped");
                return std::string();
            }
            continue;  // unreadable: damaged by anyone's lights
        }
        if (matches) {
            return "made for other bytes: " + name + " matches its line in SHA256SUMS";
        }
    }
    return std::string();
}

}  // namespace folder
