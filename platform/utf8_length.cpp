#include "platform/utf8_length.h"

namespace platform {

std::size_t Utf8CharLength(const char* text) {
    const unsigned char lead = static_cast<unsigned char>(*text);
    std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    for (std::size_t i = 1; i < length; ++i) {
        if (text[i] == '\0') {
            return i;
        }
    }
    return length;
}

}  // namespace platform
