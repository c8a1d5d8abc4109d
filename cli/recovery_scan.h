// The recovery data in a pieces folder as the commands see it: any *.par2 file, whatever its
// name, whose packets describe pieces there. A set that also names anything but such pieces
// (a path, a device, another file) is refused and never acted on; the commands say which
// name they refused.
#pragma once

#include <string>
#include <vector>

#include "recovery/set_scanner.h"

namespace cli {

// Pieces of `fileName` (N__NAME), as a split names them.
recovery::PieceNameFilter PiecesOf(const std::string& fileName);
// Pieces of any file.
recovery::PieceNameFilter AnyPieces();

class RecoveryScan {
public:
    // Reads the recovery files in `folder` for the pieces `isPiece` takes and, with
    // `checkPieces`, checks the pieces of every usable set. Stops on an interrupt.
    recovery::Status Run(const std::string& folder,
                         const recovery::PieceNameFilter& isPiece,
                         bool checkPieces);

    const recovery::ScanResult& Result() const { return m_scan; }

    // The set describes at least one piece: it is the pieces' recovery data, or meant to pass
    // for it.
    bool Describes(const recovery::SetReport& set) const;
    // The file whose pieces the set describes; empty when it describes none.
    std::string FileOf(const recovery::SetReport& set) const;
    // Any set describes pieces.
    bool Found() const;

    // A line per name refused by a set that describes pieces, naming the recovery file:
    // "secanto: DIR/x.par2: refused the name ../x (names a path, not a file of the folder);
    // its recovery data is not used". True when there was any.
    bool ReportRefusedNames() const;

    // Of the usable sets that describe pieces (of `fileName`, when it is given), the one with
    // the fewest lost slices: the one that fits the pieces best. Null when there is none.
    const recovery::SetReport* Chosen(const std::string& fileName = std::string()) const;

    // The recovery files holding packets of the usable sets that describe pieces and of no
    // other set, so that deleting them takes nothing else.
    std::vector<std::string> Files() const;

private:
    recovery::PieceNameFilter m_isPiece;
    recovery::ScanResult m_scan;
};

}  // namespace cli
