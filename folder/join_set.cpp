#include "folder/join_set.h"

#include <algorithm>
#include <iterator>

#include "engine/job_paths.h"
#include "folder/folder_pieces.h"
#include "folder/recovery_scan.h"
#include "sums/checksum_list.h"
#include "sums/sums_file.h"

namespace folder {

namespace {

// The files whose pieces the recovery data in `folder` describes, each once, in the order
// its sets were found.
std::vector<std::string> FilesOfRecovery(const std::string& folder,
                                         const recovery::KeepGoing& keepGoing) {
    RecoveryScan scan;
    std::vector<std::string> files;
    if (!scan.Run(folder, AnyPieces(), false, keepGoing).Ok()) {
        return files;
    }
    for (const auto& set : scan.Result().sets) {
        const std::string fileName = scan.FileOf(set);
        if (!fileName.empty() && std::find(files.begin(), files.end(), fileName) == files.end()) {
            files.push_back(fileName);
        }
    }
    return files;
}

// Whether `name` is `other` followed by a dot and a number: the name par2 gives a file it
// sets aside before it writes a repaired one in its place (NAME.1, or NAME.2 when that is
// taken).
bool SetAsideName(const std::string& name, const std::string& other) {
    if (name.size() < other.size() + 2 || name.compare(0, other.size(), other) != 0 ||
        name[other.size()] != '.') {
        return false;
    }
    return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(other.size()) + 1, name.end(),
                       [](char c) { return c >= '0' && c <= '9'; });
}

// Drops from `names` what a repair left of the pieces it replaced: N__NAME.1 beside N__NAME,
// or where SHA256SUMS lists N__NAME, for every piece of "NAME.1", where SHA256SUMS lists
// NAME's pieces and none of those. Two files really split into one folder both have lines
// there, and stay a choice.
void DropSetAside(const std::string& folder,
                  const FolderPieces& pieces,
                  std::vector<std::string>* names) {
    sums::ChecksumList list;
    std::string reason;
    if (names->size() < 2 || list.Read(InFolder(folder, sums::kSumsName), &reason) !=
                                 sums::ChecksumList::ReadResult::kRead) {
        return;
    }
    const auto setAside = [&](const std::string& name) {
        if (list.Find(name).Lists()) {
            return false;
        }
        const std::vector<int> numbers = pieces.Numbers(name);
        return std::any_of(names->begin(), names->end(), [&](const std::string& other) {
            const sums::SplitChecksums listed = list.Find(other);
            if (!SetAsideName(name, other) || !listed.Lists()) {
                return false;
            }
            // Beside its piece, or in its place: a repair cut short after it set the damaged
            // piece aside and before the rebuilt one took its name.
            std::vector<int> others = pieces.Numbers(other);
            for (const auto& line : listed.pieces) {
                others.push_back(line.first);
            }
            std::sort(others.begin(), others.end());
            return std::includes(others.begin(), others.end(), numbers.begin(), numbers.end());
        });
    };
    std::vector<std::string> kept;
    std::copy_if(names->begin(), names->end(), std::back_inserter(kept),
                 [&](const std::string& name) { return !setAside(name); });
    names->swap(kept);
}

}  // namespace

JoinSet ChooseJoinSet(const std::string& folder,
                      SetRule rule,
                      const recovery::KeepGoing& keepGoing) {
    JoinSet set;
    FolderPieces pieces;
    if (!pieces.Read(folder, &set.reason)) {
        set.found = JoinSet::Found::kUnlisted;
        return set;
    }
    std::vector<std::string> names = pieces.Names();
    set.fromRecovery = names.empty();
    std::string last;  // the one the recovery data names last
    if (set.fromRecovery) {
        names = FilesOfRecovery(folder, keepGoing);
        last = names.empty() ? std::string() : names.back();
        std::sort(names.begin(), names.end());
    } else {
        DropSetAside(folder, pieces, &names);
    }
    if (names.empty()) {
        set.found = JoinSet::Found::kNone;
        return set;
    }
    if (names.size() == 1) {
        set.found = JoinSet::Found::kOne;
        set.fileName = names.front();
        return set;
    }
    if (rule == SetRule::kOnlyOne) {
        set.found = JoinSet::Found::kSeveral;
        set.names = names;
        return set;
    }
    set.found = JoinSet::Found::kOne;
    set.fileName = set.fromRecovery ? last : pieces.LastListedOf(names);
    return set;
}

}  // namespace folder
