// The claims this program holds (FileClaim), by path. A deleted file leaves its folder only
// once no handle of it is open, and a claim holds one: the program's own claim on a file it
// deletes is given up first, so that the name goes at once, as it does elsewhere, where a
// claim on a deleted file holds nothing any more either.
#pragma once

#include <string>

namespace platform {

// Gives up this program's claims on the file at `path` (as the wide calls take it).
void ReleaseOwnClaims(const std::wstring& path);

}  // namespace platform
