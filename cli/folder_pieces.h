// The pieces in a folder as the command line counts them: files named N__NAME, N a piece
// number as a split writes it (decimal from 1, no leading zero). Folders, and entries whose
// text before "__" is no piece number (notes__film.avi), are no pieces, so a stray entry
// never decides which file is joined.
#pragma once

#include <string>
#include <vector>

namespace cli {

// Reads a piece's name: true, with its number and the file's name, for N__NAME.
bool ParsePieceName(const std::string& entry, int* number, std::string* fileName);

class FolderPieces {
public:
    // Lists `folder`. False, with the system's reason, when it could not be listed whole.
    bool Read(const std::string& folder, std::string* reason);

    // The names of the files with pieces there, each once (as the file system matches
    // names), in byte order.
    std::vector<std::string> Names() const;
    // The numbers of `fileName`'s pieces there, ascending.
    std::vector<int> Numbers(const std::string& fileName) const;

private:
    std::vector<std::string> m_pieces;  // entry names of the pieces
};

}  // namespace cli
