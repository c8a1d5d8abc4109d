// The command line of secanto, read with getopt_long:
//
//   secanto split FILE [-s SIZE] [-o DIR] [--delete] [--no-sums] [-q]
//   secanto join DIR [-o DIR] [--delete] [--no-verify] [--continue] [-q]
//   secanto verify DIR [-q]
//   secanto --help | --version
#pragma once

#include <cstdint>
#include <string>

namespace cli {

enum class Command { kHelp, kVersion, kSplit, kJoin, kVerify };

struct Arguments {
    Command command = Command::kHelp;
    std::string operand;  // split: the file; join and verify: the pieces' folder or a piece
    std::string output;   // -o; empty when not given
    std::uint32_t pieceSize = std::uint32_t{1} << 20;
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

// The text of --help.
extern const char kHelpText[];

}  // namespace cli
