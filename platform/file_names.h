// How the file system compares names: a name found in a listing is the name of a piece
// when the system would open that piece under it.
#pragma once

#include <string>

namespace platform {

// True when `a` and `b` name the same entry of one folder: on Windows without regard to
// case, character by character in the ANSI code page; elsewhere byte for byte.
bool SameFileName(const std::string& a, const std::string& b);

}  // namespace platform
