// Pieces rebuilt from recovery data, checked against the pieces folder's SHA256SUMS before
// they take their names: the recovery data is untrusted, and the list is the second witness
// of what the pieces held.
#pragma once

#include <string>

#include "sums/checksum_list.h"

namespace folder {

class RebuiltSums {
public:
    enum class Read { kListed, kNotListed, kFailed };

    // Reads `folder`'s SHA256SUMS for `fileName`'s pieces: kNotListed when there is none or
    // it does not list them; kFailed, with the reason, when there is one that cannot be read.
    Read ReadList(const std::string& folder, const std::string& fileName, std::string* reason);

    // The check for recovery::RepairSet: true when the piece at `path` has no line, or
    // `temporaryPath` holds the bytes its line names.
    bool Check(const std::string& path, const std::string& temporaryPath, std::string* reason);

private:
    std::string m_fileName;
    sums::SplitChecksums m_listed;
};

}  // namespace folder
