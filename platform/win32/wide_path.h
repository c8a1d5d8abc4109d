// A path of the program, held in the ANSI code page, as the wide Win32 calls take it: through
// UTF-16, with the \\?\ prefix once it is too long to be taken without, so that every length
// Windows allows can be opened, made, renamed, listed and deleted.
#pragma once

#include <string>

namespace platform {

// False, with ERROR_INVALID_NAME set, when `path` is no valid text of the code page. A path
// that has a \\?\ or \\.\ prefix already is taken as it is.
bool WidePath(const std::string& path, std::wstring* wide);

// The absolute form of `path` (relative to the current folder), without a prefix; `path`
// itself when the system cannot tell it.
std::wstring FullWidePath(const std::wstring& path);

}  // namespace platform
