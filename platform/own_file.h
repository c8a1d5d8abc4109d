// A file of the program's own at a name that only the program uses (a temporary file, a
// rebuilt piece before it takes its name): made new, never through a link nor over anything
// there, and claimed while it is written, so that another run tells it from what a run that
// ended left at that name. Only such a leftover is removed to make room; a link, a FIFO, a
// folder or a file another run holds is left as it is and refused.
#pragma once

#include <string>

#include "platform/file.h"
#include "platform/file_claim.h"

namespace platform {

class OwnFile {
public:
    OwnFile() = default;
    OwnFile(const OwnFile&) = delete;
    OwnFile& operator=(const OwnFile&) = delete;

    // Makes the file at `path` and opens it into `file` (kCreateNew or kCreateHidden), then
    // claims it until Release, also while `file` is closed and opened again. False, with the
    // error set (the system's, or a Refusal: kInUse, kNotOurs), when it could not be made.
    bool Create(const std::string& path,
                File* file,
                File::Access access = File::Access::kCreateHidden);
    // Gives the claim up: once the file has its final name, or is removed.
    void Release() { m_claim.Release(); }

private:
    FileClaim m_claim;
};

}  // namespace platform
