// The copy loop: the stop test before every block and the piece-completion rule.
#include <gtest/gtest.h>

#include "engine/block_copy.h"
#include "tests/support/test_files.h"

namespace {

TEST(BlockCopy, StopTestComesBeforeEveryBlockOrSystemCopy) {
    // Watched bytes pass block by block; unwatched ones may be copied by the system, in
    // chunks of at most kSystemCopyChunk, each after its own stop test.
    const std::string content = Pattern(3 * kSystemCopyChunk + 5);
    for (bool watched : {true, false}) {
        SCOPED_TRACE(watched ? "watched" : "unwatched");
        TempFolder dir;
        WriteWholeFile(dir / "in", content);
        platform::BufferedReader reader(65536);
        platform::BufferedWriter writer(65536);
        ASSERT_TRUE(reader.Open(dir / "in"));
        ASSERT_TRUE(writer.Create(dir / "out"));
        char block[kBlockSize];
        int tests = 0;
        std::string seen;
        CopyHooks stopAtFourth = {[&tests] { return ++tests < 4; }, {}};
        if (watched) {
            stopAtFourth.written = [&seen](const char* data, std::size_t size) {
                seen.append(data, size);
            };
        }
        std::uint64_t copied = 0;
        EXPECT_EQ(CopyBlocks(reader, writer, UINT64_MAX, block, stopAtFourth, &copied),
                  CopyEnd::kStopped);
        ASSERT_TRUE(writer.Close());
        EXPECT_EQ(copied % kBlockSize, 0u);
        EXPECT_LE(copied, 3 * (watched ? kBlockSize : kSystemCopyChunk));
        EXPECT_GE(copied, 3 * kBlockSize);
        EXPECT_EQ(ReadWholeFile(dir / "out"), content.substr(0, copied));
        if (watched) {
            EXPECT_EQ(seen, content.substr(0, copied));
        }
    }
}

TEST(BlockCopy, LimitIsExact) {
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
    EXPECT_EQ(copied, 4097u);
    EXPECT_EQ(CopyBlocks(reader, writer, 9 * 4096 - 1, block, always, &copied),
              CopyEnd::kLimitReached);
    EXPECT_EQ(CopyBlocks(reader, writer, 8 * 4096, block, always, &copied), CopyEnd::kSourceEnd);
    EXPECT_EQ(copied, 0u);
    EXPECT_TRUE(writer.Close());
}

}  // namespace
