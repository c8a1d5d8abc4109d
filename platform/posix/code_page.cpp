// Character stepping in UTF-8, the narrow encoding of paths here.
#include "platform/code_page.h"

namespace platform {

std::size_t CharLength(const char* text) {
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
