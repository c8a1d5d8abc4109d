// The buffered file layer: blocks stay whole across buffer refills, and every failure
// reaches the caller.
#include <gtest/gtest.h>

#include "platform/buffered_reader.h"
#include "platform/buffered_writer.h"
#include "platform/file_system.h"
#include "tests/support/test_files.h"

namespace {

TEST(BufferedFiles, ReadsAndWritesAcrossBufferBoundaries) {
    TempFolder dir;
    const std::string content = Pattern(100003);
    for (std::size_t buffer : {1u, 7u, 4096u, 65536u}) {
        for (std::size_t chunk : {1u, 1000u, 4096u, 70000u}) {
            SCOPED_TRACE(std::to_string(buffer) + "/" + std::to_string(chunk));
            platform::BufferedWriter writer(buffer);
            ASSERT_TRUE(writer.Create(dir / "f"));
            for (std::size_t at = 0; at < content.size(); at += chunk) {
                const std::size_t n = std::min(chunk, content.size() - at);
                ASSERT_TRUE(writer.Write(content.data() + at, n));
            }
            ASSERT_TRUE(writer.Close());
            EXPECT_EQ(ReadWholeFile(dir / "f"), content);

            platform::BufferedReader reader(buffer);
            ASSERT_TRUE(reader.Open(dir / "f"));
            std::string back;
            std::string block(chunk, '\0');
            for (;;) {
                std::int64_t got = reader.Read(&block[0], chunk);
                ASSERT_GE(got, 0);
                if (got == 0) {
                    break;
                }
                // Only the last read may come short.
                EXPECT_TRUE(static_cast<std::size_t>(got) == chunk ||
                            back.size() + static_cast<std::size_t>(got) == content.size());
                back.append(block, 0, static_cast<std::size_t>(got));
            }
            EXPECT_EQ(back, content);
            EXPECT_EQ(reader.Read(&block[0], chunk), 0);
            EXPECT_TRUE(reader.Close());
        }
    }
}

TEST(BufferedFiles, OpenFailuresAreReported) {
    TempFolder dir;
    platform::BufferedReader reader(4096);
    EXPECT_FALSE(reader.Open(dir / "missing"));
    MakeFolder(dir / "folder");
    EXPECT_FALSE(reader.Open(dir / "folder"));
    platform::BufferedWriter writer(4096);
    EXPECT_FALSE(writer.Create(dir / "missing/file"));
    EXPECT_FALSE(writer.Write("x", 1));
}

TEST(BufferedFiles, CreateEmptiesAnExistingFile) {
    TempFolder dir;
    WriteWholeFile(dir / "f", Pattern(9000));
    platform::BufferedWriter writer(4096);
    ASSERT_TRUE(writer.Create(dir / "f"));
    ASSERT_TRUE(writer.Write("ab", 2));
    ASSERT_TRUE(writer.Flush());
    ASSERT_TRUE(writer.Close());
    EXPECT_EQ(ReadWholeFile(dir / "f"), "ab");
}

#ifndef _WIN32
TEST(BufferedFiles, FullDiskIsAWriteFailure) {
    platform::BufferedWriter writer(4096);
    ASSERT_TRUE(writer.Create("/dev/full"));
    const std::string block = Pattern(4096);
    bool failed = false;
    for (int i = 0; i < 4 && !failed; ++i) {
        failed = !writer.Write(block.data(), block.size());
    }
    failed = !writer.Close() || failed;
    EXPECT_TRUE(failed);
}
#endif

}  // namespace
