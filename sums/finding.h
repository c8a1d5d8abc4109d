// What a check of pieces against their SHA256SUMS found wrong, as values that each front end
// prints or shows in its own way, and the one rule for pieces wrong by their presence.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace sums {

struct Finding {
    enum class Kind {
        kFailed,          // the bytes differ from the list's digest
        kMissing,         // listed, and not in the folder
        kNotListed,       // a piece in the folder that the list lacks
        kUnreadable,      // could not be opened or read
        kConflict,        // lines for the name disagree on its digest
        kMalformed,       // line `line` of the list is no checksum line
        kListUnreadable,  // the list could not be read
    };

    Kind kind = Kind::kFailed;
    std::string name;  // the piece, the file or the list, in its folder; narrow code page
    int piece = 0;     // the piece's number; 0 for a whole file or the list
    int line = 0;      // for kMalformed
    std::string reason;
};

// The words sha256sum prints after a name for the kinds it has: "FAILED", "MISSING",
// "NOT LISTED", "FAILED open or read"; and "FAILED" for disagreeing lines.
const char* StatusWords(Finding::Kind kind);

// Which pieces of `fileName` are wrong by presence alone: a number listed and not present is
// MISSING, one present and not listed is NOT LISTED. In number order; both inputs ascending.
std::vector<Finding> CompareNumbers(const std::string& fileName,
                                    const std::map<int, std::string>& listed,
                                    const std::vector<int>& present);

}  // namespace sums
