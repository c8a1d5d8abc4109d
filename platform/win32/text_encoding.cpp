// Conversion through UTF-16 between the ANSI code page (936 on a Chinese system) and UTF-8.
#include "platform/text_encoding.h"

#include <windows.h>

#include "platform/win32/wide_text.h"

namespace platform {

bool NarrowToUtf8(const std::string& narrow, std::string* utf8) {
    std::wstring wide;
    return ToWide(CP_ACP, narrow, &wide) && FromWide(CP_UTF8, wide, utf8);
}

bool Utf8ToNarrow(const std::string& utf8, std::string* narrow) {
    std::wstring wide;
    std::wstring back;
    if (!ToWide(CP_UTF8, utf8, &wide) || !FromWide(CP_ACP, wide, narrow)) {
        return false;
    }
    // A character the code page lacks comes out as a default or a look-alike; either way
    // the name does not come back as it went.
    if (!ToWide(CP_ACP, *narrow, &back)) {
        return false;
    }
    if (back != wide) {
        ::SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return false;
    }
    return true;
}

}  // namespace platform
