// Conversion of fixed texts to the ANSI code page.
#include "ui/ansi_text.h"

#include <windows.h>

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
