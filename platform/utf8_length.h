// Stepping over UTF-8 characters whole: for paths held in UTF-8, natively and in a Windows
// program whose ANSI code page is UTF-8.
#pragma once

#include <cstddef>

namespace platform {

// Length in bytes of the UTF-8 character that starts at `text`, from its first byte; never
// running past a terminating zero.
std::size_t Utf8CharLength(const char* text);

}  // namespace platform
