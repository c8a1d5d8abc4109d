// The command line of secanto, read with getopt_long:
//
//   secanto split FILE [-s SIZE] [-o DIR] [-r N] [--delete] [--no-sums] [-q]
//   secanto join DIR [-o DIR] [--delete] [--no-verify] [--continue] [-q]
//   secanto verify DIR [-q]
//   secanto repair DIR [-q]
//   secanto --help | --version
#pragma once

#include <cstdint>
#include <string>

#include "folder/recovery_plan.h"

namespace cli {

enum class Command { kHelp, kVersion, kSplit, kJoin, kVerify, kRepair };

using folder::RecoveryAmount;

struct Arguments {
    Command command = Command::kHelp;
    std::string operand;  // split: the file; the others: the pieces' folder or a piece
    std::string output;   // -o; empty when not given
    std::uint32_t pieceSize = std::uint32_t{1} << 20;
    RecoveryAmount recovery;  // split -r
    bool deleteSource = false;
    bool writeSums = true;      // split without --no-sums
    bool verifyJoin = true;     // join without --no-verify
    bool continueJoin = false;  // join --continue
    bool quiet = false;
};

// Fills `arguments` from the command line; false after a usage error was reported.
bool ParseArguments(int argc, char** argv, Arguments* arguments);

// Reads a piece size: a number with K, M or G (binary units) or none (M), a multiple of 4K
// from 4K to 4095M. False for anything else.
bool ParsePieceSize(const std::string& text, std::uint32_t* size);

// Reads a recovery amount: a count from 1 to 32768, or a percentage from 1% to 100%.
bool ParseRecoveryAmount(const std::string& text, RecoveryAmount* amount);

// The text of --help.
extern const char kHelpText[];

}  // namespace cli
