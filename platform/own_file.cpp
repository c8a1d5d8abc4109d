// The file is made first and claimed after, so a run clearing leftovers at that moment can
// take it for one; the claim is held only once the name is seen to still be this file.
#include "platform/own_file.h"

#include "platform/system_error.h"

namespace platform {

namespace {

// Tries, each made anew after a leftover or a file taken for one was removed.
constexpr int kAttempts = 8;

}  // namespace

bool OwnFile::Create(const std::string& path, File* file, File::Access access) {
    Release();
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (!file->Open(path, access)) {
            if (!LastErrorIsAlreadyThere()) {
                return false;
            }
            const Leftover leftover = RemoveLeftover(path);
            if (leftover != Leftover::kRemoved && leftover != Leftover::kNone) {
                return false;
            }
            continue;
        }
        const FileClaim::Outcome claimed = m_claim.Claim(path);
        if (claimed == FileClaim::Outcome::kFailed) {
            // Left for the next run to remove: removing it here would lose the reason.
            file->Close();
            return false;
        }
        if (claimed == FileClaim::Outcome::kClaimed) {
            if (file->IsAt(path)) {
                return true;
            }
            if (!LastErrorIsNotFound()) {
                m_claim.Release();
                file->Close();
                return false;  // the file could not be looked at
            }
        }
        m_claim.Release();
        file->Close();
    }
    SetLastRefusal(Refusal::kInUse);
    return false;
}

}  // namespace platform
