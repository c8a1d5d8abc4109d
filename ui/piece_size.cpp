// Reading the piece-size field without atoi's undefined overflow.
#include "ui/piece_size.h"

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

bool ParsePieceSize(const char* text, std::uint32_t* bytes) {
    while (IsBlank(*text)) {
        ++text;
    }
    bool negative = false;
    if (*text == '+' || *text == '-') {
        negative = *text == '-';
        ++text;
    }
    // Saturates just above the limit, so a long run of digits stays out of range.
    long megabytes = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        megabytes = megabytes * 10 + (*text - '0');
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
