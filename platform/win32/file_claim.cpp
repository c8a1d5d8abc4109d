// On Windows the claim is the writer's own handle: a join opens its output sharing nothing,
// so no other program can open it to write, or to read it for a decision, while one writes
// it, nor rename or replace it under that handle. A handle kept here for a lock would need
// read access, and would itself keep that exclusive open out; so a claim holds nothing and
// only tells whether a file is there.
#include "platform/file_claim.h"

#include <windows.h>

namespace platform {

FileClaim::Outcome FileClaim::Claim(const std::string& path, Use) {
    if (::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
        return Outcome::kClaimed;
    }
    const DWORD error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? Outcome::kGone
                                                                          : Outcome::kFailed;
}

void FileClaim::Release() {}

}  // namespace platform
