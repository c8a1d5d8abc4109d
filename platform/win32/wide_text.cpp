// Conversions through UTF-16 with the system's own tables.
#include "platform/win32/wide_text.h"

namespace platform {

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

}  // namespace platform
