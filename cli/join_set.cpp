#include "cli/join_set.h"

#include <vector>

#include "cli/commands.h"
#include "cli/job_messages.h"
#include "cli/report.h"
#include "engine/job_paths.h"
#include "folder/join_set.h"
#include "platform/file.h"
#include "platform/interrupt.h"
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
    const folder::JoinSet set = folder::ChooseJoinSet(*folder, folder::SetRule::kOnlyOne,
                                                      [] { return !platform::Interrupted(); });
    JobReport none;
    none.problem = JobReport::Problem::kNoPieces;
    none.path = *folder;
    switch (set.found) {
        case folder::JoinSet::Found::kOne:
            *fileName = set.fileName;
            return kExitOk;
        case folder::JoinSet::Found::kSeveral:
            ReportError(*folder, std::string(set.fromRecovery ? "the folder holds recovery data of "
                                                              : "the folder holds pieces of ") +
                                     ListOfNames(set.names) + ": name one piece");
            return kExitUsage;
        case folder::JoinSet::Found::kUnlisted:
            none.reason = set.reason;
            break;
        case folder::JoinSet::Found::kNone:
            break;
    }
    ReportProblem(none);
    return kExitSource;
}

}  // namespace cli
