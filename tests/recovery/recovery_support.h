// Helpers shared by the recovery tests: a folder of pieces, the piece-name rule of a split,
// and the library's operations with their outcome.
#pragma once

#include <string>
#include <vector>

#include "recovery/set_creator.h"
#include "recovery/set_repairer.h"
#include "recovery/set_scanner.h"
#include "tests/support/test_files.h"

namespace recovery_test {

// "N__FILE" names, as a split makes them.
bool IsPiece(const std::string& name);

// Writes pieces of the given lengths, named N__`file`, with distinct contents; returns them.
std::vector<recovery::PieceFile> MakePieces(const TempFolder& dir,
                                            const std::string& file,
                                            const std::vector<std::size_t>& lengths);

// Creates recovery files `dir/set.par2` for `pieces`.
recovery::Status Create(const TempFolder& dir,
                        const std::vector<recovery::PieceFile>& pieces,
                        std::uint32_t count,
                        std::uint64_t sliceSize = 0);

// Scans `dir` and returns its only set, failing the test when there is not exactly one.
recovery::SetReport ScanOne(const TempFolder& dir);

// Every file of the folder with its bytes, to tell that nothing changed.
std::vector<std::pair<std::string, std::string>> Snapshot(const std::string& folder);

}  // namespace recovery_test
