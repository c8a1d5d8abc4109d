// The piece-size field of the main dialog: whole megabytes from 1 to 4095.
#pragma once

#include <cstdint>

constexpr int kMinPieceMegabytes = 1;
constexpr int kMaxPieceMegabytes = 4095;

// Reads the field as atoi does (leading blanks, an optional sign, then decimal digits up to
// the first other character, so "1.5" is 1 and " 60" is 60). The full-width digits that a
// Chinese input method types ("１０") are digits too. A size outside 1..4095 is refused with
// false; otherwise *bytes receives the size in bytes.
bool ParsePieceSize(const wchar_t* text, std::uint32_t* bytes);
