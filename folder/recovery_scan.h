// The recovery data in a pieces folder: any *.par2 file, whatever its name, whose packets
// describe pieces there. A set that also names anything but such pieces (a path, a device,
// another file) is refused and never acted on; the front ends say which name it refused.
#pragma once

#include <string>
#include <vector>

#include "recovery/keep_going.h"
#include "recovery/set_scanner.h"

namespace folder {

// Pieces of `fileName` (N__NAME), as a split names them.
recovery::PieceNameFilter PiecesOf(const std::string& fileName);
// Pieces of any file.
recovery::PieceNameFilter AnyPieces();

// A name a recovery set describing pieces gave and that was refused: the set is not used.
struct RefusedName {
    std::string recoveryFile;  // the first file holding the set's packets
    std::string name;          // as the packet holds it
    std::string reason;
};

class RecoveryScan {
public:
    // Reads the recovery files in `folder` for the pieces `isPiece` takes and, with
    // `checkPieces`, checks the pieces of every usable set. Stops when `keepGoing` says so.
    recovery::Status Run(const std::string& folder,
                         const recovery::PieceNameFilter& isPiece,
                         bool checkPieces,
                         const recovery::KeepGoing& keepGoing);

    const recovery::ScanResult& Result() const { return m_scan; }

    // The set describes at least one piece: it is the pieces' recovery data, or meant to pass
    // for it.
    bool Describes(const recovery::SetReport& set) const;
    // The file whose pieces the set describes; empty when it describes none.
    std::string FileOf(const recovery::SetReport& set) const;
    // Any set describes pieces.
    bool Found() const;

    // The names refused by the sets that describe pieces.
    std::vector<RefusedName> Refused() const;

    // The recovery files holding packets of the usable sets that describe pieces and of no
    // other set, so that deleting them takes nothing else.
    std::vector<std::string> Files() const;

private:
    recovery::PieceNameFilter m_isPiece;
    recovery::ScanResult m_scan;
};

}  // namespace folder
