// What a run that was killed leaves of the recovery work on a file's pieces: the hidden
// temporary files of its recovery files (.NAME.par2.secanto-part, .NAME.volA+B.par2.secanto-part)
// and of its rebuilt pieces (.N__NAME.secanto-part).
#pragma once

#include <string>
#include <vector>

namespace recovery {

// True when `name` is such a temporary file of `fileName`'s.
bool IsLeftoverName(const std::string& name, const std::string& fileName);

// Removes, in `folder` (with or without a final separator), the temporary files of
// `fileName`'s that no live run holds; links, FIFOs and files another run holds are left as
// they are. Returns the paths removed. Anything that cannot be listed or removed is left:
// the run that needs the name says so.
std::vector<std::string> RemoveLeftovers(const std::string& folder, const std::string& fileName);

}  // namespace recovery
