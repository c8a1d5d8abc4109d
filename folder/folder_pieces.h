// The pieces in a folder as the join lists them (ListPieces): files named N__NAME. Folders,
// and entries whose text before "__" is no piece number (notes__film.avi), are no pieces, so
// a stray entry never decides which file is joined.
#pragma once

#include <string>
#include <vector>

namespace folder {

class FolderPieces {
public:
    // Lists `folder`. False, with the system's reason, when it could not be listed whole.
    bool Read(const std::string& folder, std::string* reason);

    // The names of the files with pieces there, each once (as the file system matches
    // names), in byte order.
    std::vector<std::string> Names() const;
    // The numbers of `fileName`'s pieces there, ascending.
    std::vector<int> Numbers(const std::string& fileName) const;
    // Of `names`, the one whose piece the system listed last; empty when none has a piece.
    std::string LastListedOf(const std::vector<std::string>& names) const;

private:
    std::vector<std::string> m_pieces;  // entry names of the pieces, in listing order
};

}  // namespace folder
