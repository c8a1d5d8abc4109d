// Character stepping in UTF-8, the narrow encoding of paths here.
#include "platform/code_page.h"

#include "platform/utf8_length.h"

namespace platform {

std::size_t CharLength(const char* text) {
    return Utf8CharLength(text);
}

}  // namespace platform
