// Where the separators of a path are. Paths are byte strings in the program's narrow code
// page: the search steps over characters whole, so that the second byte of a double-byte
// character (0x5C in code page 936) is never taken for '\'. '/' separates too, on Windows
// as it does elsewhere.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

// Where the last separator of `path` starts, or std::string::npos.
std::size_t LastSeparator(const std::string& path);

}  // namespace platform
