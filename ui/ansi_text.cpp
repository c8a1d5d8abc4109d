// Conversion of texts to the ANSI code page.
#include "ui/ansi_text.h"

#include <windows.h>

#include "platform/win32/wide_text.h"

std::string AnsiText(const wchar_t* text) {
    const int length = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1) {
        return std::string();
    }
    std::string ansi(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, &ansi[0], length, nullptr, nullptr);
    ansi.resize(static_cast<std::size_t>(length) - 1);
    return ansi;
}

bool ExactAnsiText(const std::wstring& text, std::string* ansi) {
    std::string narrow;
    std::wstring back;
    // A character the code page lacks comes out as the default or a look-alike; either way
    // the text does not come back as it went.
    if (!platform::FromWide(CP_ACP, text, &narrow) || !platform::ToWide(CP_ACP, narrow, &back) ||
        back != text) {
        return false;
    }
    *ansi = narrow;
    return true;
}
