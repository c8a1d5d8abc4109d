#include "folder/repair_claim.h"

#include "engine/job_paths.h"
#include "platform/system_error.h"

namespace folder {

RepairClaim::Outcome RepairClaim::ForLooking(const std::string& folder,
                                             const std::string& fileName) {
    m_path = InFolder(folder, PieceName(1, fileName));
    return Take(platform::FileClaim::Use::kRead, &m_looked, &m_there);
}

RepairClaim::Outcome RepairClaim::ForRebuilding() {
    // Not an upgrade in place: a lock that is converted is given up first, and lost when the
    // new one cannot be had. A piece 1 that differs now is another set's.
    m_claim.Release();
    platform::FileStamp now;
    bool there = false;
    const Outcome outcome = Take(platform::FileClaim::Use::kWrite, &now, &there);
    if (outcome == Outcome::kHeld && (there != m_there || (there && !now.Unchanged(m_looked)))) {
        m_claim.Release();
        return Outcome::kInUse;
    }
    return outcome;
}

RepairClaim::Outcome RepairClaim::Take(platform::FileClaim::Use use,
                                       platform::FileStamp* stamp,
                                       bool* there) {
    *there = false;
    switch (m_claim.Claim(m_path, use)) {
        case platform::FileClaim::Outcome::kTaken:
            return Outcome::kInUse;
        case platform::FileClaim::Outcome::kGone:
            return Outcome::kHeld;
        case platform::FileClaim::Outcome::kFailed:
            return platform::LastErrorIsNotFound() ? Outcome::kHeld : Outcome::kFailed;
        case platform::FileClaim::Outcome::kClaimed:
            break;
    }
    if (!platform::StampOf(m_path, stamp)) {
        m_claim.Release();
        return Outcome::kFailed;
    }
    *there = true;
    return Outcome::kHeld;
}

}  // namespace folder
