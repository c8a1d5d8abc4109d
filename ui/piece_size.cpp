// Reading the piece-size field without atoi's undefined overflow.
#include "ui/piece_size.h"

namespace {

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\v' || c == L'\f' || c == L'\r';
}

// The digit's value, or -1 for any other character.
int DigitValue(wchar_t c) {
    if (c >= L'0' && c <= L'9') {
        return c - L'0';
    }
    if (c >= L'\xFF10' && c <= L'\xFF19') {
        return c - L'\xFF10';
    }
    return -1;
}

}  // namespace

bool ParsePieceSize(const wchar_t* text, std::uint32_t* bytes) {
    while (IsBlank(*text)) {
        ++text;
    }
    bool negative = false;
    if (*text == L'+' || *text == L'-') {
        negative = *text == L'-';
        ++text;
    }
    // Saturates just above the limit, so a long run of digits stays out of range.
    long megabytes = 0;
    for (int digit = DigitValue(*text); digit >= 0; digit = DigitValue(*++text)) {
        megabytes = megabytes * 10 + digit;
        if (megabytes > kMaxPieceMegabytes) {
            megabytes = kMaxPieceMegabytes + 1;
        }
    }
    if (negative || megabytes < kMinPieceMegabytes || megabytes > kMaxPieceMegabytes) {
        return false;
    }
    *bytes = static_cast<std::uint32_t>(megabytes) << 20;
    return true;
}
