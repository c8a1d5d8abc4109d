// Conversion through UTF-16 between the ANSI code page (936 on a Chinese system) and UTF-8.
#include "platform/text_encoding.h"

#include <windows.h>

namespace platform {

namespace {

bool ToWide(UINT codePage, const std::string& text, std::wstring* wide) {
    wide->clear();
    if (text.empty()) {
        return true;
    }
    const int size = static_cast<int>(text.size());
    const int length =
        ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
    if (length <= 0) {
        return false;
    }
    wide->resize(static_cast<std::size_t>(length));
    return ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), size, &(*wide)[0],
                                 length) == length;
}

bool FromWide(UINT codePage, const std::wstring& wide, std::string* text) {
    text->clear();
    if (wide.empty()) {
        return true;
    }
    // Only UTF-8 can refuse what it cannot encode; the ANSI code page is checked by the
    // caller, which converts back.
    const DWORD flags = codePage == CP_UTF8 ? WC_ERR_INVALID_CHARS : 0;
    const int size = static_cast<int>(wide.size());
    const int length =
        ::WideCharToMultiByte(codePage, flags, wide.data(), size, nullptr, 0, nullptr, nullptr);
    if (length <= 0) {
        return false;
    }
    text->resize(static_cast<std::size_t>(length));
    return ::WideCharToMultiByte(codePage, flags, wide.data(), size, &(*text)[0], length, nullptr,
                                 nullptr) == length;
}

}  // namespace

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
