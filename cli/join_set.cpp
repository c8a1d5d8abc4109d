#include "cli/join_set.h"

#include <algorithm>
#include <iterator>
#include <vector>

#include "cli/commands.h"
#include "cli/folder_pieces.h"
#include "cli/job_messages.h"
#include "cli/recovery_scan.h"
#include "cli/report.h"
#include "engine/job_paths.h"
#include "platform/file.h"
#include "platform/system_error.h"
#include "sums/checksum_line.h"
#include "sums/checksum_list.h"
#include "sums/sums_file.h"

namespace cli {

namespace {

// "a", "a and b", "a, b and c", each escaped.
std::string ListOfNames(const std::vector<std::string>& names) {
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        text += i == 0 ? "" : i + 1 == names.size() ? " and " : ", ";
        text += sums::PrintableName(names[i]);
    }
    return text;
}

// The files whose pieces the recovery data in `folder` describes, each once.
std::vector<std::string> FilesOfRecovery(const std::string& folder) {
    RecoveryScan scan;
    std::vector<std::string> files;
    if (!scan.Run(folder, AnyPieces(), false).Ok()) {
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

// Drops from `names` what `par2 repair` left of the pieces it replaced: N__NAME.1 beside
// N__NAME for every piece of "NAME.1", where SHA256SUMS lists NAME's pieces and none of
// those. Two files really split into one folder both have lines there, and stay a choice
// the user makes.
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
            const std::vector<int> others = pieces.Numbers(other);
            return SetAsideName(name, other) && list.Find(other).Lists() &&
                   std::includes(others.begin(), others.end(), numbers.begin(), numbers.end());
        });
    };
    std::vector<std::string> kept;
    std::copy_if(names->begin(), names->end(), std::back_inserter(kept),
                 [&](const std::string& name) { return !setAside(name); });
    names->swap(kept);
}

}  // namespace

int ChooseJoinSet(const std::string& operand, std::string* folder, std::string* fileName) {
    int number = 0;
    // A piece that is gone (deleted by a join that stopped) still names its file, in a
    // folder that is there: the command that goes on is the one that began.
    platform::FileStamp stamp;
    if (!platform::StampOf(operand, &stamp) && platform::LastErrorIsNotFound() &&
        ParsePieceName(LastComponent(operand), &number, fileName) &&
        platform::StampOf(FolderOf(operand), &stamp) && stamp.folder) {
        *folder = FolderOf(operand);
        return kExitOk;
    }
    std::string given;
    if (!PiecesFolder(operand, folder, &given)) {
        return kExitSource;
    }
    if (ParsePieceName(given, &number, fileName)) {
        return kExitOk;
    }
    // A folder, or a file in it that is no piece (SHA256SUMS): the folder's one set.
    FolderPieces pieces;
    JobReport none;
    none.problem = JobReport::Problem::kNoPieces;
    none.path = *folder;
    if (!pieces.Read(*folder, &none.reason)) {
        ReportProblem(none);
        return kExitSource;
    }
    std::vector<std::string> names = pieces.Names();
    // Every piece lost: the recovery data still names them.
    const bool lost = names.empty();
    if (lost) {
        names = FilesOfRecovery(*folder);
    } else {
        DropSetAside(*folder, pieces, &names);
    }
    if (names.empty()) {
        ReportProblem(none);
        return kExitSource;
    }
    if (names.size() > 1) {
        ReportError(*folder, std::string(lost ? "the folder holds recovery data of "
                                              : "the folder holds pieces of ") +
                                 ListOfNames(names) + ": name one piece");
        return kExitUsage;
    }
    *fileName = names.front();
    return kExitOk;
}

}  // namespace cli
