// Names between the system's narrow code page, in which the program holds paths, and UTF-8,
// in which files shared between systems hold them.
#pragma once

#include <string>

namespace platform {

// False, with the system's error set, when `narrow` is no valid text of the code page.
bool NarrowToUtf8(const std::string& narrow, std::string* utf8);

// False, with the system's error set, when `utf8` is no valid UTF-8 or holds a character
// the code page lacks: a name changed on the way would name another file.
bool Utf8ToNarrow(const std::string& utf8, std::string* narrow);

}  // namespace platform
