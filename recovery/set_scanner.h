// Checking a folder's pieces against the recovery files found there: every *.par2 file is
// read, whatever its name, and each set its packets describe is checked piece by piece.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "recovery/keep_going.h"
#include "recovery/recovery_set.h"
#include "recovery/recovery_status.h"

namespace recovery {

enum class PieceCondition { kGood, kDamaged, kMissing };

struct PieceReport {
    std::string path;
    PieceCondition condition = PieceCondition::kMissing;
    std::vector<bool> goodSlices;  // per slice of the set's file
    std::string reason;            // why a piece that is there could not be read, if so
};

struct SetReport {
    RecoverySet set;
    std::string folder;                // where its pieces are, with a final separator
    std::vector<PieceReport> pieces;   // one per set.files; empty when the set is unusable
    std::uint32_t lostSlices = 0;      // input slices not found intact
    std::uint32_t recoverySlices = 0;  // sound recovery slices at hand, one per exponent
    std::uint32_t solvable = 0;        // the most lost slices they can rebuild

    bool Usable() const { return set.unusable.empty(); }
    bool Complete() const { return Usable() && lostSlices == 0 && AllPiecesGood(); }
    bool Repairable() const { return Usable() && lostSlices <= solvable; }
    // Recovery slices still needed to repair.
    std::uint32_t MoreNeeded() const { return lostSlices > solvable ? lostSlices - solvable : 0; }
    bool AllPiecesGood() const;
};

struct ScanResult {
    std::vector<SetReport> sets;
    // *.par2 files that could not be read, with the reason.
    std::vector<std::pair<std::string, std::string>> unreadable;
};

// Reads every *.par2 file in `folder` and assembles the sets their packets describe, without
// reading any piece: each report's `pieces` is empty and `lostSlices` 0. Fails only when the
// folder cannot be listed or the caller stops it.
Status ReadSets(const std::string& folder,
                const PieceNameFilter& isPiece,
                const KeepGoing& keepGoing,
                ScanResult* result);

// Reads every *.par2 file in `folder` and checks the pieces of each set found. Fails only
// when the folder cannot be listed or the caller stops it.
Status ScanFolder(const std::string& folder,
                  const PieceNameFilter& isPiece,
                  const KeepGoing& keepGoing,
                  ScanResult* result);

}  // namespace recovery
