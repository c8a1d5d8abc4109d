// What a join finds in a pieces folder: its pieces, files named N__NAME (ParsePieceName), the
// last one listed (whose NAME the join takes when it is given none), and the lengths of one
// name's pieces. Folders and entries whose text before "__" is no piece number are no pieces,
// so that a stray entry never decides what is joined.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PieceListing {
    bool complete = false;               // read to its end without error
    std::string reason;                  // why not, in the system's words
    int matches = 0;                     // pieces, of any file
    std::string lastMatch;               // the last of them, in listing order
    std::vector<std::string> fileNames;  // their names
};

// Lists `folder`, which ends with the path separator.
PieceListing ListPieces(const std::string& folder);

// The lengths of the pieces `numbers` of `fileName` in `folder` (ending with the
// separator), opening each as the join opens it. False with the piece's path and the
// system's reason when one cannot be opened.
bool PieceLengths(const std::string& folder,
                  const std::string& fileName,
                  const std::vector<int>& numbers,
                  std::vector<std::uint64_t>* lengths,
                  std::string* failedPath,
                  std::string* reason);

// True when the file `partial` is exactly `at` bytes followed by the bytes of the file
// `piece`.
bool HoldsAt(const std::string& partial, std::uint64_t at, const std::string& piece);

// True when the file `partial` holds the first bytes of the pieces 1 to `count` of
// `fileName` in `folder`, end to end (and no more than they hold).
bool HoldsPiecesFromStart(const std::string& partial,
                          const std::string& folder,
                          const std::string& fileName,
                          int count);
