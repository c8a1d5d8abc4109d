// What makes the pieces found in a folder one split's: numbers 1 to N without a gap, and
// lengths that a split with one piece size makes. The join refuses any other set; the
// command line names the piece that breaks the rule.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The numbers of the pieces of `fileName` among `names`, ascending, each once.
std::vector<int> PieceNumbers(const std::vector<std::string>& names, const std::string& fileName);

// The first number from 1 up that `numbers` (ascending) lacks before its highest one: 1 when
// it is empty, 0 when nothing is missing.
int FirstMissingPiece(const std::vector<int>& numbers);

// Pieces 1 to N of one split are all as long as piece 1, which is not empty unless it is the
// only one, but the last, which is no longer. The number of the first piece that breaks this
// for these lengths (piece 1's first), or 0 when none does.
int FirstMisfit(const std::vector<std::uint64_t>& lengths);
