// Text between a narrow code page and UTF-16, for the Windows calls that compare or
// describe names by whole characters.
#pragma once

#include <windows.h>

#include <string>

namespace platform {

// False when `text` is no valid text of the code page.
bool ToWide(UINT codePage, const std::string& text, std::wstring* wide);

// False when a character cannot be written; only UTF-8 refuses, the ANSI code page puts a
// stand-in, so callers that care convert back and compare.
bool FromWide(UINT codePage, const std::wstring& wide, std::string* text);

}  // namespace platform
