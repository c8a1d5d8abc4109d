// The claim a repair holds on a file's pieces, the one a split and a join take on piece 1:
// shared with joins while the recovery data and the pieces are only looked at, so that no
// split writes them meanwhile, then the pieces' alone while rebuilt pieces take their names,
// so that no join reads them and no other repair rebuilds them at the same time. Piece 1
// must not have changed in between, or what was looked at is another set.
#pragma once

#include <string>

#include "platform/file.h"
#include "platform/file_claim.h"

namespace folder {

class RepairClaim {
public:
    enum class Outcome {
        kHeld,    // held; or piece 1 is missing, and there is nothing to hold
        kInUse,   // another split, join or repair holds piece 1, or changed it meanwhile
        kFailed,  // the system's error says why
    };

    // Before the recovery data and the pieces of `fileName` in `folder` are looked at.
    Outcome ForLooking(const std::string& folder, const std::string& fileName);
    // Before rebuilt pieces take their names; after ForLooking.
    Outcome ForRebuilding();
    // Until the pieces are rebuilt, or the job that holds the claim has taken its own.
    void Release() { m_claim.Release(); }

    // Piece 1's path, which the refusal names.
    const std::string& Path() const { return m_path; }

private:
    Outcome Take(platform::FileClaim::Use use, platform::FileStamp* stamp, bool* there);

    std::string m_path;
    platform::FileClaim m_claim;
    platform::FileStamp m_looked;
    bool m_there = false;
};

}  // namespace folder
