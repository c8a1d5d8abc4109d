// The copy loop: the stop test before every block and the piece-completion rule, whether
// the bytes go unwatched, are watched, or are read into a buffer the watcher lends.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "engine/block_copy.h"
#include "tests/support/test_files.h"

namespace {

enum class Watch { kNone, kBytes, kLent };

// The hooks of a copy watched as `watch` says: bytes seen go to `seen`, and a lent buffer
// (`lent`, of `lentSize` bytes) is the only place they may be seen in.
CopyHooks Watched(Watch watch,
                  std::function<bool()> keepGoing,
                  std::string* seen,
                  std::vector<char>* lent,
                  int* foreign) {
    CopyHooks hooks = {std::move(keepGoing), {}};
    if (watch == Watch::kNone) {
        return hooks;
    }
    hooks.written = [seen, lent, foreign](const char* data, std::size_t size) {
        if (!lent->empty() && data != lent->data()) {
            ++*foreign;
        }
        seen->append(data, size);
    };
    if (watch == Watch::kLent) {
        hooks.lend = [lent](std::size_t* size) {
            *size = lent->size();
            return lent->data();
        };
    }
    return hooks;
}

TEST(BlockCopy, StopTestComesBeforeEveryBlockOrSystemCopy) {
    // Watched bytes pass block by block, read into the watcher's buffer where it lends one;
    // unwatched ones may be copied by the system, in chunks of at most kSystemCopyChunk, each
    // after its own stop test.
    const std::string content = Pattern(3 * kSystemCopyChunk + 5);
    const struct {
        Watch watch;
        std::size_t lent;
        const char* name;
    } kCases[] = {
        {Watch::kNone, 0, "unwatched"},
        {Watch::kBytes, 0, "watched"},
        {Watch::kLent, 65536, "read into a lent buffer"},
        {Watch::kLent, kBlockSize + 1, "read into a lent buffer of a block and a byte"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        TempFolder dir;
        WriteWholeFile(dir / "in", content);
        platform::BufferedReader reader(65536);
        platform::BufferedWriter writer(65536);
        ASSERT_TRUE(reader.Open(dir / "in"));
        ASSERT_TRUE(writer.Create(dir / "out"));
        char block[kBlockSize];
        int tests = 0;
        std::string seen;
        std::vector<char> lent(c.lent);
        int foreign = 0;
        const CopyHooks stopAtFourth = Watched(
            c.watch, [&tests] { return ++tests < 4; }, &seen, &lent, &foreign);
        std::uint64_t copied = 0;
        EXPECT_EQ(CopyBlocks(reader, writer, UINT64_MAX, block, stopAtFourth, &copied),
                  CopyEnd::kStopped);
        ASSERT_TRUE(writer.Close());
        EXPECT_EQ(copied % kBlockSize, 0u);
        EXPECT_LE(copied, 3 * (c.watch != Watch::kNone ? kBlockSize : kSystemCopyChunk));
        EXPECT_GE(copied, 3 * kBlockSize);
        EXPECT_EQ(ReadWholeFile(dir / "out"), content.substr(0, copied));
        if (c.watch != Watch::kNone) {
            EXPECT_EQ(seen, content.substr(0, copied));
            EXPECT_EQ(foreign, 0);
        }
    }
}

TEST(BlockCopy, LimitIsExact) {
    for (Watch watch : {Watch::kNone, Watch::kLent}) {
        SCOPED_TRACE(watch == Watch::kLent ? "read into a lent buffer" : "unwatched");
        const std::string content = Pattern(10 * 4096);
        TempFolder dir;
        WriteWholeFile(dir / "in", content);
        platform::BufferedReader reader(65536);
        platform::BufferedWriter writer(65536);
        ASSERT_TRUE(reader.Open(dir / "in"));
        ASSERT_TRUE(writer.Create(dir / "out"));
        char block[kBlockSize];
        std::string seen;
        std::vector<char> lent(watch == Watch::kLent ? 3 * kBlockSize : 0);
        int foreign = 0;
        const CopyHooks always = Watched(
            watch, [] { return true; }, &seen, &lent, &foreign);
        std::uint64_t copied = 0;
        EXPECT_EQ(CopyBlocks(reader, writer, 4097, block, always, &copied), CopyEnd::kLimitReached);
        EXPECT_EQ(copied, 4097u);
        EXPECT_EQ(CopyBlocks(reader, writer, 9 * 4096 - 1, block, always, &copied),
                  CopyEnd::kLimitReached);
        EXPECT_EQ(CopyBlocks(reader, writer, 8 * 4096, block, always, &copied),
                  CopyEnd::kSourceEnd);
        EXPECT_EQ(copied, 0u);
        EXPECT_TRUE(writer.Close());
        EXPECT_EQ(ReadWholeFile(dir / "out"), content);
        if (watch == Watch::kLent) {
            EXPECT_EQ(seen, content);
            EXPECT_EQ(foreign, 0);
        }
    }
}

TEST(BlockCopy, ALentBufferIsNotFilledPastTheBlocksAPipeHasGiven) {
#ifdef _WIN32
    GTEST_SKIP() << "no named pipes in the file system";
#else
    // Two blocks come, the pipe stays open: the copy must write them and get to the stop
    // test after them, not wait for the rest of the lent buffer (the writer gives up after
    // five seconds).
    TempFolder dir;
    const std::string fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string content = Pattern(2 * kBlockSize);
    std::mutex lock;
    std::condition_variable changed;
    bool returned = false;
    bool gaveUp = false;
    std::thread writer([&] {
        const int fd = ::open(fifo.c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, content.data(), content.size()),
                  static_cast<ssize_t>(content.size()));
        std::unique_lock<std::mutex> guard(lock);
        gaveUp = !changed.wait_for(guard, std::chrono::seconds(5), [&] { return returned; });
        ::close(fd);
    });
    platform::BufferedReader reader(65536);
    platform::BufferedWriter output(65536);
    // As a split opens its source: the one way to read a FIFO.
    ASSERT_TRUE(reader.Open(fifo, platform::File::Access::kReadDeletable));
    ASSERT_TRUE(output.Create(dir / "out"));
    char block[kBlockSize];
    int tests = 0;
    std::string seen;
    std::vector<char> lent(16 * kBlockSize);
    int foreign = 0;
    const CopyHooks hooks = Watched(
        Watch::kLent, [&tests] { return ++tests < 3; }, &seen, &lent, &foreign);
    std::uint64_t copied = 0;
    const CopyEnd end = CopyBlocks(reader, output, UINT64_MAX, block, hooks, &copied);
    {
        std::lock_guard<std::mutex> guard(lock);
        returned = true;
    }
    changed.notify_all();
    writer.join();
    EXPECT_FALSE(gaveUp);
    EXPECT_EQ(end, CopyEnd::kStopped);
    EXPECT_EQ(copied, content.size());
    EXPECT_EQ(seen, content);
    EXPECT_TRUE(output.Close());
#endif
}

}  // namespace
