// Character stepping in the system's narrow code page, so that searches in paths never
// take the second byte of a double-byte character for a separator.
#pragma once

#include <cstddef>

namespace platform {

// Length in bytes of the character that starts at `text`: 1 for a single-byte character,
// more for a multi-byte one, never running past a terminating zero.
std::size_t CharLength(const char* text);

}  // namespace platform
