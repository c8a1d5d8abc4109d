// The final component of a Windows path, kept free of <windows.h> so that it can also be
// checked natively with a code page that behaves like 936.
#pragma once

#include <string>

namespace platform {

// The text after the last '\', '/' or ':' of `path`, stepping over double-byte characters
// so that a second byte of 0x5C is not taken for '\'.
std::string FinalComponent(const std::string& path);

}  // namespace platform
