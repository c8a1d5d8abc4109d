// The commands of secanto, each returning the exit status (cli/report.h), and what they
// share.
#pragma once

#include <string>

#include "cli/arguments.h"

namespace cli {

int SplitCommand(const Arguments& arguments);
int JoinCommand(const Arguments& arguments);
int VerifyCommand(const Arguments& arguments);
int RepairCommand(const Arguments& arguments);

// True when the progress line is wanted: standard error is a terminal and -q was not given.
bool ShowProgress(const Arguments& arguments);

// The pieces' folder that `operand` names: itself when it is a folder, the folder holding it
// when it is a file (a piece, or SHA256SUMS), whose name then goes to `fileName` (if given;
// empty for a folder). False after reporting why it names neither.
bool PiecesFolder(const std::string& operand, std::string* folder, std::string* fileName = nullptr);

}  // namespace cli
