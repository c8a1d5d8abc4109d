// Pieces rebuilt from recovery data, checked against the pieces folder's SHA256SUMS before
// they take their names: the recovery data is untrusted, and the list is the second witness
// of what the pieces held. A piece with a line is checked against it; where the list has
// only the whole file's line, the whole file that the rebuilt and the present pieces make.
#pragma once

#include <string>
#include <vector>

#include "recovery/keep_going.h"
#include "recovery/set_repairer.h"
#include "sums/checksum_list.h"

namespace folder {

class RebuiltSums {
public:
    enum class Read { kListed, kNotListed, kFailed };

    // Reads `folder`'s SHA256SUMS for `fileName`'s pieces: kNotListed when there is none or
    // it does not list them; kFailed, with the reason, when there is one that cannot be read.
    Read ReadList(const std::string& folder, const std::string& fileName, std::string* reason);

    // What the list read holds of the file; empty before ReadList or without a list.
    const sums::SplitChecksums& Listed() const { return m_listed; }

    // Whether the file at `path` holds the bytes of piece `number`'s line: false, with the
    // reason, when it could not be read or hashed (or `keepGoing` said to stop: empty reason).
    bool MatchesLine(int number,
                     const std::string& path,
                     const recovery::KeepGoing& keepGoing,
                     bool* matches,
                     std::string* reason) const;

    // The check for recovery::RepairSet of the `pieces` pieces of the file (numbered 1 to
    // `pieces`): every rebuilt piece with a line matches it; with only the file's line, the
    // pieces there and the rebuilt ones, in order, make that file. Passes without a list;
    // a mismatch is kRecoveryData, a piece that cannot be read kSource.
    recovery::Status Check(const std::vector<recovery::RebuiltFile>& rebuilt,
                           int pieces,
                           const recovery::KeepGoing& keepGoing) const;

private:
    std::string m_folder;
    std::string m_fileName;
    sums::SplitChecksums m_listed;
};

}  // namespace folder
