// The piece-size field: what is accepted, what it means in bytes, and what is refused.
#include "ui/piece_size.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

// Shown as GoogleTest prints wide text, with the full-width digits escaped.
std::string Shown(const wchar_t* text) {
    return ::testing::PrintToString(std::wstring(text));
}

struct Accepted {
    const wchar_t* text;
    std::uint32_t bytes;
};

TEST(PieceSize, WholeMegabytesFromOneTo4095BecomeBytes) {
    // The last four are in full-width digits, as a Chinese input method types them.
    const Accepted cases[] = {
        {L"1", 1u << 20},           {L"30", 31457280u},    {L"60", 62914560u},
        {L"4095", 4293918720u},     {L"1.5", 1u << 20},    {L" 60", 62914560u},
        {L"\t+7", 7u << 20},        {L"12abc", 12u << 20}, {L"0008", 8u << 20},
        {L"１０", 10u << 20},       {L"1０", 10u << 20},   {L"+１.５", 1u << 20},
        {L"４０９５", 4293918720u},
    };
    for (const Accepted& c : cases) {
        std::uint32_t bytes = 0;
        EXPECT_TRUE(ParsePieceSize(c.text, &bytes)) << Shown(c.text);
        EXPECT_EQ(bytes, c.bytes) << Shown(c.text);
    }
}

TEST(PieceSize, SizesOutsideTheRangeAreRefusedAndLeaveTheResultAlone) {
    // 4096 would wrap to 0 bytes in 32 bits and 4097 to 1 MB; -1 would become 4095 MB.
    // The full-width minus is no sign, and the full-width blank no blank, as for atoi.
    const wchar_t* const refused[] = {
        L"",           L"0",    L"-1",       L"-0",  L"abc", L" ",
        L"4096",       L"4097", L".5",       L"+ 5", L"- 3", L"99999999999999999999",
        L"4294967297", L"０",   L"４０９６", L"-１", L"－1", L"\u30001"};
    for (const wchar_t* text : refused) {
        std::uint32_t bytes = 12345;
        EXPECT_FALSE(ParsePieceSize(text, &bytes)) << Shown(text);
        EXPECT_EQ(bytes, 12345u) << Shown(text);
    }
}

}  // namespace
