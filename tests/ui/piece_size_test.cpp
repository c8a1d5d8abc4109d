// The piece-size field: what is accepted, what it means in bytes, and what is refused.
#include "ui/piece_size.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

struct Accepted {
    const char* text;
    std::uint32_t bytes;
};

TEST(PieceSize, WholeMegabytesFromOneTo4095BecomeBytes) {
    const Accepted cases[] = {
        {"1", 1u << 20},       {"30", 31457280u},    {"60", 62914560u},
        {"4095", 4293918720u}, {"1.5", 1u << 20},    {" 60", 62914560u},
        {"\t+7", 7u << 20},    {"12abc", 12u << 20}, {"0008", 8u << 20},
    };
    for (const Accepted& c : cases) {
        std::uint32_t bytes = 0;
        EXPECT_TRUE(ParsePieceSize(c.text, &bytes)) << '"' << c.text << '"';
        EXPECT_EQ(bytes, c.bytes) << '"' << c.text << '"';
    }
}

TEST(PieceSize, SizesOutsideTheRangeAreRefusedAndLeaveTheResultAlone) {
    // 4096 would wrap to 0 bytes in 32 bits and 4097 to 1 MB; -1 would become 4095 MB.
    const char* const refused[] = {"",          "0",    "-1", "-0",  "abc", " ",
                                   "4096",      "4097", ".5", "+ 5", "- 3", "99999999999999999999",
                                   "4294967297"};
    for (const char* text : refused) {
        std::uint32_t bytes = 12345;
        EXPECT_FALSE(ParsePieceSize(text, &bytes)) << '"' << text << '"';
        EXPECT_EQ(bytes, 12345u) << '"' << text << '"';
    }
}

}  // namespace
