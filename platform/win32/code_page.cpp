// Character stepping in the ANSI code page (936 on a Chinese system).
#include "platform/code_page.h"

#include <windows.h>

namespace platform {

std::size_t CharLength(const char* text) {
    if (::IsDBCSLeadByteEx(CP_ACP, static_cast<BYTE>(*text)) && text[1] != '\0') {
        return 2;
    }
    return 1;
}

}  // namespace platform
