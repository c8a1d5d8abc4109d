// Which pieces `secanto join OPERAND` (and repair) takes: those of the file a piece names
// (also one already deleted), or the folder's one set (folder/join_set.h). A folder with
// pieces of several files is refused with their names, so that no stray entry and no order
// of listing decides.
#pragma once

#include <string>

namespace cli {

// The folder and the file's name to join for `operand`: kExitOk, or the exit status once
// it has said why there is nothing to join (no pieces, or pieces of several files).
int ChooseJoinSet(const std::string& operand, std::string* folder, std::string* fileName);

}  // namespace cli
