// Character stepping as Windows does it in code page 936, for the native fuzz build: bytes
// 0x81 to 0xFE lead a double-byte character unless the string ends after them.
#include "platform/code_page.h"

namespace platform {

std::size_t CharLength(const char* text) {
    const unsigned char lead = static_cast<unsigned char>(*text);
    return lead >= 0x81 && lead <= 0xFE && text[1] != '\0' ? 2 : 1;
}

}  // namespace platform
