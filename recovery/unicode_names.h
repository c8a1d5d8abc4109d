// Names between UTF-8 and the UTF-16 of the Unicode Filename packet.
#pragma once

#include <string>

namespace recovery {

// False when `utf8` is not valid UTF-8.
bool Utf8ToUtf16(const std::string& utf8, std::u16string* utf16);
// False when `utf16` holds an unpaired surrogate.
bool Utf16ToUtf8(const std::u16string& utf16, std::string* utf8);

}  // namespace recovery
