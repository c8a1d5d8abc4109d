// The controller's commands, hold and teardown, whatever state the job is in.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <thread>
#include <vector>

#include "engine/job_controller.h"
#include "platform/notification_inbox.h"
#include "tests/support/job_outcome.h"
#include "tests/support/test_files.h"

namespace {

using std::chrono::seconds;

class JobControl : public ::testing::Test {
protected:
    // A job long enough that a command right after the start finds it running.
    bool StartBigSplit(CJobController& c, std::uint32_t pieceSize = 64 << 10) {
        if (!Exists(dir / "big.bin")) {
            WriteWholeFile(dir / "big.bin", Pattern(16 << 20));
        }
        return c.StartSplit((dir / "out").c_str(), (dir / "big.bin").c_str(), pieceSize);
    }

    // Starts a long split and holds it: at its first block where the worker can be caught in
    // its first post, else wherever the hold finds it right after the start.
    bool StartHeldSplit(CJobController& c, std::uint32_t pieceSize = 64 << 10) {
        const bool catches = receiver.CatchWorkerAt(WM_JOB_RANGE, 1);
        if (!StartBigSplit(c, pieceSize) || (catches && !receiver.WaitWorkerCaught(seconds(30)))) {
            return false;
        }
        const bool held = c.Pause();
        receiver.ReleaseWorker();
        return held;
    }

    TempFolder dir;
    JobReceiver receiver;
};

TEST_F(JobControl, CommandsWithoutAJobChangeNothing) {
    CJobController controller(receiver.Target());
    EXPECT_FALSE(controller.m_bBusy);
    EXPECT_FALSE(controller.Pause());
    EXPECT_FALSE(controller.Resume());
    EXPECT_FALSE(controller.Abort());
    // The abort found no job, so it must not stop the next one.
    WriteWholeFile(dir / "a.bin", Pattern(3 * 4096));
    ASSERT_TRUE(controller.StartSplit((dir / "out").c_str(), (dir / "a.bin").c_str(), 4096));
    JobOutcome job = CollectJob(receiver);
    EXPECT_EQ(job.broken, "");
    EXPECT_EQ(job.result, JOB_OK);
    EXPECT_EQ(job.done, 4);
}

TEST_F(JobControl, SecondStartWhileBusyIsRefused) {
    CJobController controller(receiver.Target());
    ASSERT_TRUE(StartHeldSplit(controller, 1 << 20));  // the job cannot end while others knock
    EXPECT_TRUE(controller.m_bBusy);
    EXPECT_FALSE(controller.StartSplit((dir / "other").c_str(), (dir / "big.bin").c_str(), 4096));
    EXPECT_FALSE(controller.StartJoin((dir / "other").c_str(), (dir / "out").c_str()));
    EXPECT_TRUE(controller.Resume());
    JobOutcome job = CollectJob(receiver);
    EXPECT_EQ(job.result, JOB_OK);
    EXPECT_EQ(job.done, 17);
    EXPECT_TRUE(Drain(receiver).empty());
    EXPECT_FALSE(Exists(dir / "other"));
    EXPECT_EQ(ReadWholeFile(dir / "out/16__big.bin"), Pattern(16 << 20).substr(15 << 20));
}

TEST_F(JobControl, PauseThenResumeGivesTheSamePieces) {
    CJobController controller(receiver.Target());
    const std::string content = Pattern(200 * 4096 + 123);
    WriteWholeFile(dir / "a.bin", content);
    ASSERT_TRUE(controller.StartSplit((dir / "out").c_str(), (dir / "a.bin").c_str(), 3 * 4096));
    for (int i = 0; i < 50; ++i) {
        controller.Pause();
        std::this_thread::sleep_for(std::chrono::microseconds(200));
        controller.Resume();
    }
    JobOutcome job = CollectJob(receiver);
    EXPECT_EQ(job.broken, "");
    EXPECT_EQ(job.result, JOB_OK);
    const std::vector<std::string> pieces = ExpectedPieces(content, 3 * 4096);
    ASSERT_EQ(job.done, static_cast<std::intptr_t>(pieces.size()));
    for (std::size_t k = 0; k < pieces.size(); ++k) {
        EXPECT_EQ(ReadWholeFile(dir / ("out/" + std::to_string(k + 1) + "__a.bin")), pieces[k]);
    }
}

TEST_F(JobControl, HeldJobCopiesNothingUntilReleased) {
    CJobController controller(receiver.Target());
    ASSERT_TRUE(StartHeldSplit(controller));
    // Whatever the job finished before the hold took, it posts nothing more while held
    // beyond the piece in hand.
    std::vector<JobMessage> early = Drain(receiver, std::chrono::milliseconds(300));
    std::vector<JobMessage> later = Drain(receiver, std::chrono::milliseconds(300));
    EXPECT_TRUE(later.empty());
    EXPECT_TRUE(controller.m_bBusy);
    EXPECT_TRUE(controller.Resume());
    JobOutcome job = CollectJob(receiver);
    EXPECT_EQ(job.result, JOB_OK);
    EXPECT_EQ(static_cast<std::size_t>(job.done),
              job.progress.size() + std::count_if(early.begin(), early.end(), [](auto& m) {
                  return m.message == WM_JOB_PROGRESS;
              }));
}

TEST_F(JobControl, PauseThenAbortStopsTheJob) {
    CJobController controller(receiver.Target());
    const std::uint32_t size = 64 << 10;
    ASSERT_TRUE(StartHeldSplit(controller, size));
    const std::string content = ReadWholeFile(dir / "big.bin");
    EXPECT_TRUE(controller.Abort());
    JobOutcome job = CollectJob(receiver);
    EXPECT_EQ(job.broken, "");
    EXPECT_EQ(job.result, JOB_ABORTED);
    // The pieces finished are whole; the one in hand holds a beginning of its bytes.
    for (std::intptr_t k = 1; k <= job.done + 1; ++k) {
        const std::string piece = ReadWholeFile(dir / ("out/" + std::to_string(k) + "__big.bin"));
        const std::string expected = content.substr(static_cast<std::size_t>(k - 1) * size, size);
        if (k <= job.done) {
            EXPECT_EQ(piece, expected);
        } else {
            EXPECT_EQ(expected.find(piece), 0u);
        }
    }
    EXPECT_FALSE(Exists(dir / ("out/" + std::to_string(job.done + 2) + "__big.bin")));
}

TEST_F(JobControl, HoldThatCaughtTheEndIsReleasedByResume) {
    if (!receiver.CatchWorkerAt(WM_JOB_DONE, 1)) {
        GTEST_SKIP() << "posting never blocks here";
    }
    CJobController controller(receiver.Target());
    WriteWholeFile(dir / "a.bin", "x");
    ASSERT_TRUE(controller.StartSplit((dir / "out").c_str(), (dir / "a.bin").c_str(), 4096));
    ASSERT_TRUE(receiver.WaitWorkerCaught(seconds(30)));
    EXPECT_TRUE(controller.Pause());  // the job is in its last post: still busy
    receiver.ReleaseWorker();
    EXPECT_EQ(CollectJob(receiver).result, JOB_OK);
    WaitUntilIdle(controller);
    // The hold outlived the job: the next job waits at its first block until released.
    ASSERT_TRUE(controller.StartSplit((dir / "out2").c_str(), (dir / "a.bin").c_str(), 4096));
    JobOutcome held = CollectJob(receiver, std::chrono::milliseconds(300));
    EXPECT_FALSE(held.hasDone);
    EXPECT_TRUE(controller.Resume());
    JobOutcome rest = CollectJob(receiver);
    EXPECT_EQ(rest.result, JOB_OK);
    EXPECT_EQ(rest.done, 1);
}

TEST_F(JobControl, AbortAfterTheEndLeavesTheNextJobAlone) {
    CJobController controller(receiver.Target());
    WriteWholeFile(dir / "a.bin", Pattern(5000));
    ASSERT_TRUE(controller.StartSplit((dir / "out").c_str(), (dir / "a.bin").c_str(), 4096));
    EXPECT_EQ(CollectJob(receiver).result, JOB_OK);
    WaitUntilIdle(controller);
    EXPECT_FALSE(controller.Abort());
    ASSERT_TRUE(controller.StartSplit((dir / "out2").c_str(), (dir / "a.bin").c_str(), 4096));
    JobOutcome second = CollectJob(receiver);
    EXPECT_EQ(second.result, JOB_OK);
    EXPECT_EQ(second.done, 2);
}

TEST_F(JobControl, TeardownInEveryState) {
    // Idle.
    {
        auto c = std::make_unique<CJobController>(receiver.Target());
        c.reset();
        EXPECT_TRUE(Drain(receiver, std::chrono::milliseconds(50)).empty());
    }
    // Running, held: returns, and no WM_JOB_DONE for the stopped job.
    for (bool hold : {false, true}) {
        auto c = std::make_unique<CJobController>(receiver.Target());
        ASSERT_TRUE(StartBigSplit(*c));
        if (hold) {
            c->Pause();
        }
        c->Shutdown();
        c->Shutdown();  // runs once
        c.reset();
        for (const JobMessage& m : Drain(receiver, std::chrono::milliseconds(100))) {
            if (m.message == WM_JOB_DONE) {
                EXPECT_EQ(m.wParam, JOB_OK) << "only a job that ended on its own may report";
            }
        }
    }
}

TEST_F(JobControl, TeardownRightAfterAStartPostsNoResult) {
    WriteWholeFile(dir / "long.bin", Pattern(16 << 20));
    for (int i = 0; i < 20; ++i) {
        auto c = std::make_unique<CJobController>(receiver.Target());
        ASSERT_TRUE(c->StartSplit((dir / "out").c_str(), (dir / "long.bin").c_str(), 4096));
        c.reset();  // the job is pending or has just begun
        for (const JobMessage& m : Drain(receiver, std::chrono::milliseconds(20))) {
            EXPECT_NE(m.message, WM_JOB_DONE);
        }
    }
}

TEST_F(JobControl, JoinLeavesThePieceSizeReset) {
    CJobController controller(receiver.Target());
    WriteWholeFile(dir / "a.bin", Pattern(10000));
    ASSERT_TRUE(controller.StartSplit((dir / "pieces").c_str(), (dir / "a.bin").c_str(), 4096));
    EXPECT_EQ(CollectJob(receiver).result, JOB_OK);
    WaitUntilIdle(controller);
    ASSERT_TRUE(controller.StartJoin((dir / "joined").c_str(), (dir / "pieces").c_str()));
    JobOutcome join = CollectJob(receiver);
    EXPECT_EQ(join.broken, "");
    EXPECT_EQ(join.result, JOB_OK);
    EXPECT_EQ(join.rangeKind, 0);
    EXPECT_EQ(ReadWholeFile(dir / "joined/a.bin"), Pattern(10000));
}

// Progress comes in bursts, and the receiver may be spared a wake-up for some of them; yet
// each must reach a reader asleep with a long timeout, the last one too, after which the
// job may post nothing for a long time. The burst comes faster than the wake-ups are spared
// for, so a reader that only wakes when told would sleep to its timeout.
TEST(Notifications, EveryOneOfABurstReachesASleepingReader) {
    platform::NotificationInbox inbox;
    ASSERT_NE(inbox.Target(), nullptr);
    for (int round = 0; round < 5; ++round) {
        std::thread poster([&inbox] {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            for (std::intptr_t count = 1; count <= 3; ++count) {
                platform::PostNotification(inbox.Target(), WM_JOB_PROGRESS, 0, count);
                std::this_thread::sleep_for(std::chrono::microseconds(500));
            }
        });
        const auto start = std::chrono::steady_clock::now();
        std::vector<std::intptr_t> counts;
        platform::Notification notification;
        while (counts.size() < 3 && inbox.Next(&notification, seconds(10))) {
            counts.push_back(notification.lParam);
        }
        EXPECT_EQ(counts, (std::vector<std::intptr_t>{1, 2, 3}));
        EXPECT_LT(std::chrono::steady_clock::now() - start, seconds(2));
        poster.join();
    }
}

}  // namespace
