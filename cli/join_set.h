// Which pieces `secanto join OPERAND` joins: those of the file a piece names (also one
// already deleted), or of the one file whose pieces are in a folder. A folder with pieces of
// several files is refused, so that no stray entry and no order of listing decides.
#pragma once

#include <string>

namespace cli {

// The folder and the file's name to join for `operand`: kExitOk, or the exit status once
// it has said why there is nothing to join (no pieces, or pieces of several files).
int ChooseJoinSet(const std::string& operand, std::string* folder, std::string* fileName);

}  // namespace cli
