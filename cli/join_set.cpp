#include "cli/join_set.h"

#include <vector>

#include "cli/commands.h"
#include "cli/folder_pieces.h"
#include "cli/job_messages.h"
#include "cli/report.h"
#include "engine/job_paths.h"
#include "platform/file.h"
#include "platform/system_error.h"
#include "sums/checksum_line.h"

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
    const std::vector<std::string> names = pieces.Names();
    if (names.empty()) {
        ReportProblem(none);
        return kExitSource;
    }
    if (names.size() > 1) {
        ReportError(*folder,
                    "the folder holds pieces of " + ListOfNames(names) + ": name one piece");
        return kExitUsage;
    }
    *fileName = names.front();
    return kExitOk;
}

}  // namespace cli
