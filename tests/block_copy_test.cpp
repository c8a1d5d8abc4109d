// The copy loop: the stop test before every block and the piece-completion rule.
#include <gtest/gtest.h>

#include "engine/block_copy.h"
#include "tests/support/test_files.h"

namespace {

TEST(BlockCopy, StopTestComesBeforeEveryBlock) {
    TempFolder dir;
    WriteWholeFile(dir / "in", Pattern(10 * 4096 + 5));
    platform::BufferedReader reader(65536);
    platform::BufferedWriter writer(65536);
    ASSERT_TRUE(reader.Open(dir / "in"));
    ASSERT_TRUE(writer.Create(dir / "out"));
    char block[kBlockSize];
    int tests = 0;
    std::uint64_t copied = 0;
    const CopyHooks stopAtFourth = {[&tests] { return ++tests < 4; }, {}};
    EXPECT_EQ(CopyBlocks(reader, writer, UINT64_MAX, block, stopAtFourth, &copied),
              CopyEnd::kStopped);
    EXPECT_EQ(copied, 3u * 4096);
    ASSERT_TRUE(writer.Close());
    EXPECT_EQ(ReadWholeFile(dir / "out"), Pattern(10 * 4096 + 5).substr(0, 3 * 4096));
}

TEST(BlockCopy, LimitIsReachedAtTheEndOfABlock) {
    TempFolder dir;
    WriteWholeFile(dir / "in", Pattern(10 * 4096));
    platform::BufferedReader reader(65536);
    platform::BufferedWriter writer(65536);
    ASSERT_TRUE(reader.Open(dir / "in"));
    ASSERT_TRUE(writer.Create(dir / "out"));
    char block[kBlockSize];
    std::uint64_t copied = 0;
    const CopyHooks always = {[] { return true; }, {}};
    EXPECT_EQ(CopyBlocks(reader, writer, 4097, block, always, &copied), CopyEnd::kLimitReached);
    EXPECT_EQ(copied, 8192u);
    EXPECT_EQ(CopyBlocks(reader, writer, 8 * 4096, block, always, &copied), CopyEnd::kLimitReached);
    EXPECT_EQ(CopyBlocks(reader, writer, 8 * 4096, block, always, &copied), CopyEnd::kSourceEnd);
    EXPECT_EQ(copied, 0u);
    EXPECT_TRUE(writer.Close());
}

}  // namespace
