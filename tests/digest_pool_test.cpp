// The digest pool: one reader feeding several consumers of the same bytes on every core, each
// segment's result right however the bytes come (with SHA-256 on the processor's instructions,
// where two segments share a pass, and on the system's hash), and a stop that ends every wait.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/sha256.h"
#include "sums/digest_pool.h"
#include "sums/sha256_sink.h"
#include "tests/support/test_files.h"

namespace {

using sums::DigestPool;

std::string Sha256Of(const std::string& bytes) {
    platform::Sha256 sha;
    std::string hex;
    EXPECT_TRUE(sha.Update(bytes.data(), bytes.size()));
    EXPECT_TRUE(sha.Finish(&hex));
    return hex;
}

// A consumer that keeps the bytes themselves: a segment fed out of order, twice, or with
// another segment's bytes shows.
class Recorder : public sums::SegmentSink {
public:
    bool Add(const char* data, std::size_t size) override {
        m_bytes.append(data, size);
        return true;
    }
    bool End(std::string* result, std::string*) override {
        result->swap(m_bytes);
        m_bytes.clear();
        return true;
    }

private:
    std::string m_bytes;
};

enum class Feed { kLent, kCopied, kMixed, kFull };

// Hands `bytes` over as a reader would, in runs of uneven lengths: read into the pool's
// buffer, or copied from the reader's own; or read into the pool's buffers filling each, as
// the join reads its pieces.
void Give(DigestPool& pool, const std::string& bytes, Feed feed, std::size_t* turn) {
    static const std::size_t kRuns[] = {1, 4095, 70000, 131072, 64, 200000, 3};
    std::size_t at = 0;
    while (at < bytes.size()) {
        const std::size_t run =
            std::min(feed == Feed::kFull ? bytes.size() : kRuns[*turn % 7], bytes.size() - at);
        ++*turn;
        if (feed == Feed::kLent || feed == Feed::kFull ||
            (feed == Feed::kMixed && *turn % 2 == 0)) {
            std::size_t size = 0;
            char* buffer = pool.Lend(&size);
            ASSERT_NE(buffer, nullptr);
            const std::size_t part = std::min(run, size);
            std::memcpy(buffer, bytes.data() + at, part);
            pool.Add(buffer, part);
            at += part;
        } else {
            pool.Add(bytes.data() + at, run);
            at += run;
        }
    }
}

TEST(DigestPool, EverySegmentOfEveryConsumerIsRight) {
    const std::vector<std::size_t> kFortySmall(40, 50000);
    const std::vector<std::size_t> kThirtyEven(30, 262144);
    const struct {
        const char* name;
        std::vector<std::vector<std::size_t>> wholes;  // piece lengths, whole by whole
        Feed feed;
        bool piecesOnly;  // only the pieces' digests, as a verified join wants
    } kCases[] = {
        {"more pieces than threads and buffers", {kFortySmall}, Feed::kLent, false},
        {"uneven and empty pieces",
         {{0, 1, 131072, 131073, 0, 300000, 64, 0}},
         Feed::kCopied,
         false},
        {"pieces longer than all buffers together",
         {{3 << 20, (3 << 20) + 7}},
         Feed::kMixed,
         false},
        {"two wholes, as verify checks two files",
         {{5000, 0, 9000}, {131072, 1}},
         Feed::kMixed,
         false},
        {"a whole without pieces", {{}}, Feed::kLent, false},
        {"pieces hashed two at a time", {kThirtyEven, kFortySmall}, Feed::kFull, true},
        {"pieces two at a time, uneven",
         {{0, 1, 131072, 131073, 0, 300000, 64, 0}},
         Feed::kMixed,
         true},
    };
    for (const auto& c : kCases) {
        for (bool instructions : {true, false}) {
            SCOPED_TRACE(std::string(c.name) +
                         (instructions ? "; the processor's instructions" : "; the system's hash"));
            DigestPool pool;
            const auto sha256 = [instructions] {
                return std::make_unique<sums::Sha256Sink>(instructions);
            };
            const int pieceDigests = pool.AddConsumer(DigestPool::Span::kPiece, sha256);
            const int wholeDigests =
                c.piecesOnly ? -1 : pool.AddConsumer(DigestPool::Span::kWhole, sha256);
            const int pieceBytes =
                c.piecesOnly ? -1 : pool.AddConsumer(DigestPool::Span::kPiece, [] {
                    return std::make_unique<Recorder>();
                });
            std::string reason;
            ASSERT_TRUE(pool.Start(&reason)) << reason;
            std::vector<std::string> pieces;
            std::vector<std::string> wholes;
            std::size_t turn = 0;
            for (const auto& lengths : c.wholes) {
                std::string whole;
                for (std::size_t length : lengths) {
                    pieces.push_back(Pattern(length, static_cast<unsigned>(pieces.size() + 1)));
                    Give(pool, pieces.back(), c.feed, &turn);
                    EXPECT_EQ(pool.EndPiece(), static_cast<int>(pieces.size()));
                    whole += pieces.back();
                }
                wholes.push_back(whole);
                EXPECT_EQ(pool.EndWhole(), static_cast<int>(wholes.size()));
            }
            for (std::size_t i = 0; i < pieces.size(); ++i) {
                const int number = static_cast<int>(i + 1);
                std::string digest;
                std::string bytes;
                EXPECT_TRUE(pool.Result(pieceDigests, number, &digest));
                EXPECT_EQ(digest, Sha256Of(pieces[i])) << "piece " << number;
                if (pieceBytes >= 0) {
                    EXPECT_TRUE(pool.Result(pieceBytes, number, &bytes));
                    EXPECT_TRUE(bytes == pieces[i]) << "piece " << number;
                }
            }
            for (std::size_t i = 0; wholeDigests >= 0 && i < wholes.size(); ++i) {
                std::string digest;
                EXPECT_TRUE(pool.Result(wholeDigests, static_cast<int>(i + 1), &digest));
                EXPECT_EQ(digest, Sha256Of(wholes[i])) << "whole " << i + 1;
            }
            // A segment not ended is not waited for: only the caller could end it.
            std::string digest;
            EXPECT_FALSE(pool.Result(pieceDigests, static_cast<int>(pieces.size() + 1), &digest));
        }
    }
}

// Holds every thread that feeds it until it is opened.
class Gate {
public:
    void Pass() {
        std::unique_lock<std::mutex> guard(m_lock);
        ++m_entered;
        m_changed.notify_all();
        m_changed.wait(guard, [this] { return m_open; });
    }
    void WaitEntered() {
        std::unique_lock<std::mutex> guard(m_lock);
        m_changed.wait(guard, [this] { return m_entered > 0; });
    }
    void Open() {
        std::lock_guard<std::mutex> guard(m_lock);
        m_open = true;
        m_changed.notify_all();
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    int m_entered = 0;
    bool m_open = false;
};

class GatedSink : public sums::SegmentSink {
public:
    explicit GatedSink(Gate* gate) : m_gate(gate) {}
    bool Add(const char*, std::size_t) override {
        m_gate->Pass();
        return true;
    }
    bool End(std::string* result, std::string*) override {
        *result = "ended";
        return true;
    }

private:
    Gate* m_gate;
};

TEST(DigestPool, AStopEndsEveryWaitWithFailure) {
    // A consumer stuck on the first bytes keeps its segment from ending and the buffers from
    // coming free; the stop comes while the reader waits for one or the other.
    const struct {
        const char* name;
        bool waitForRoom;
    } kCases[] = {
        {"the reader waits for a digest", false},
        {"the reader waits for a free buffer", true},
    };
    constexpr std::size_t kOffered = 64 << 20;
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        Gate gate;
        DigestPool pool;
        const int consumer = pool.AddConsumer(
            DigestPool::Span::kPiece, [&gate] { return std::make_unique<GatedSink>(&gate); });
        std::string reason;
        ASSERT_TRUE(pool.Start(&reason)) << reason;
        std::size_t given = 0;
        bool stopped = false;
        bool result = true;
        std::thread reader([&] {
            const std::string bytes(200000, 'x');
            if (!c.waitForRoom) {
                pool.Add(bytes.data(), bytes.size());
                std::string digest;
                result = pool.Result(consumer, pool.EndPiece(), &digest);
                return;
            }
            while (given < kOffered) {
                std::size_t size = 0;
                char* buffer = pool.Lend(&size);
                if (buffer == nullptr) {
                    stopped = true;
                    return;
                }
                pool.Add(buffer, size);
                given += size;
            }
        });
        gate.WaitEntered();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        pool.Stop();
        gate.Open();
        reader.join();
        if (c.waitForRoom) {
            EXPECT_TRUE(stopped);
            EXPECT_LT(given, kOffered);
        } else {
            EXPECT_FALSE(result);
            EXPECT_EQ(pool.Failure(), "hashing stopped");
        }
        std::size_t size = 0;
        EXPECT_EQ(pool.Lend(&size), nullptr);
    }
}

}  // namespace
