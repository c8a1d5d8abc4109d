// Character stepping in the ANSI code page: 936 on a Chinese system (the dialog), or UTF-8
// where the program's manifest asks for it (the command line).
#include "platform/code_page.h"

#include <windows.h>

#include "platform/utf8_length.h"

namespace platform {

std::size_t CharLength(const char* text) {
    static const bool utf8 = ::GetACP() == CP_UTF8;
    if (utf8) {
        return Utf8CharLength(text);
    }
    if (::IsDBCSLeadByteEx(CP_ACP, static_cast<BYTE>(*text)) && text[1] != '\0') {
        return 2;
    }
    return 1;
}

}  // namespace platform
