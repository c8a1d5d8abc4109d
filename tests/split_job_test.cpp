// The split job: piece names and contents, folders, the stop test and delete-after-use.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include "engine/hold_gate.h"
#include "engine/job_controller.h"
#include "platform/file.h"
#include "platform/file_system.h"
#include "tests/support/job_outcome.h"
#include "tests/support/test_files.h"

namespace {

using std::chrono::seconds;

class SplitJob : public ::testing::Test {
protected:
    // Splits `content`, stored as `name`, into `target` and returns the outcome.
    JobOutcome Split(const std::string& content,
                     std::uint32_t pieceSize,
                     const std::string& name = "src.bin",
                     std::string target = "") {
        if (target.empty()) {
            target = dir / "out";
        }
        WriteWholeFile(dir / name, content);
        WaitUntilIdle(controller);
        EXPECT_TRUE(controller.StartSplit(target.c_str(), (dir / name).c_str(), pieceSize));
        return CollectJob(receiver);
    }

    // Checks that `folder` holds exactly the pieces of `content` named after `name`.
    void ExpectPieces(const std::string& folder,
                      const std::string& name,
                      const std::string& content,
                      std::uint64_t pieceSize) {
        const std::vector<std::string> expected = ExpectedPieces(content, pieceSize);
        std::vector<std::string> names;
        for (std::size_t k = 1; k <= expected.size(); ++k) {
            const std::string piece = std::to_string(k) + "__" + name;
            names.push_back(piece);
            ASSERT_EQ(ReadWholeFile(folder + platform::kPathSeparator + piece), expected[k - 1])
                << "piece " << k;
        }
        std::sort(names.begin(), names.end());
        EXPECT_EQ(ListNames(folder), names);
    }

    TempFolder dir;
    JobReceiver receiver;
    CJobController controller{receiver.Target()};
};

TEST_F(SplitJob, EmptySourceGivesOneEmptyPiece) {
    JobOutcome job = Split("", 1 << 20);
    EXPECT_EQ(job.broken, "");
    EXPECT_TRUE(job.hasRange);
    EXPECT_EQ(job.range, 1u);
    EXPECT_EQ(job.rangeKind, 1);
    EXPECT_EQ(job.result, JOB_OK);
    EXPECT_EQ(job.done, 1);
    ExpectPieces(dir / "out", "src.bin", "", 1 << 20);
}

TEST_F(SplitJob, LengthsAroundThePieceSize) {
    for (std::uint32_t size : {4096u, 8192u, 3u * 4096u}) {
        const std::size_t s = size;
        for (std::size_t length : {std::size_t{1}, s - 1, s, s + 1, 2 * s, 10 * s + 4095}) {
            SCOPED_TRACE("piece size " + std::to_string(size) + ", length " +
                         std::to_string(length));
            const std::string content = Pattern(length, static_cast<unsigned>(length));
            const std::string target =
                dir / ("out-" + std::to_string(size) + "-" + std::to_string(length));
            JobOutcome job = Split(content, size, "src.bin", target);
            EXPECT_EQ(job.broken, "");
            EXPECT_EQ(job.result, JOB_OK);
            EXPECT_EQ(job.range, length / size + 1);
            EXPECT_EQ(job.done, static_cast<std::intptr_t>(length / size + 1));
            ExpectPieces(target, "src.bin", content, size);
        }
    }
}

TEST_F(SplitJob, WholeMegabytePieces) {
    const std::string content = Pattern(2 * (1 << 20) + 1);
    JobOutcome job = Split(content, 1 << 20);
    EXPECT_EQ(job.range, 3u);
    EXPECT_EQ(job.result, JOB_OK);
    ExpectPieces(dir / "out", "src.bin", content, 1 << 20);
}

TEST_F(SplitJob, SizeBetweenBlocksRunsOnToTheNextBlock) {
    const std::string content = Pattern(5 * 4096 + 10);
    JobOutcome job = Split(content, 5000);
    EXPECT_EQ(job.range, content.size() / 5000 + 1);
    EXPECT_EQ(job.result, JOB_OK);
    EXPECT_EQ(job.done, 3);  // 8192, 8192, 4106 bytes
    ExpectPieces(dir / "out", "src.bin", content, 5000);
}

TEST_F(SplitJob, HugePieceSizesCountUnsigned) {
    for (std::uint32_t size : {0x80000000u, 4095u << 20}) {
        const std::string target = dir / ("out" + std::to_string(size));
        JobOutcome job = Split(Pattern(10000), size, "src.bin", target);
        EXPECT_EQ(job.range, 1u);
        EXPECT_EQ(job.result, JOB_OK);
        EXPECT_EQ(job.done, 1);
        ExpectPieces(target, "src.bin", Pattern(10000), size);
    }
}

TEST_F(SplitJob, ZeroPieceSizeIsRefused) {
    WriteWholeFile(dir / "src.bin", "x");
    EXPECT_FALSE(controller.StartSplit((dir / "out").c_str(), (dir / "src.bin").c_str(), 0));
    EXPECT_FALSE(controller.m_bBusy);
    EXPECT_TRUE(Drain(receiver).empty());
    EXPECT_FALSE(Exists(dir / "out"));
}

TEST_F(SplitJob, TargetFoldersAreCreatedLevelByLevel) {
    const std::string content = Pattern(9000);
    const std::string deep = dir / "a/b/c";
    JobOutcome job = Split(content, 4096, "src.bin", deep);
    EXPECT_EQ(job.result, JOB_OK);
    ExpectPieces(deep, "src.bin", content, 4096);

    const std::string trailing = (dir / "d/e") + platform::kPathSeparator;
    job = Split(content, 4096, "src.bin", trailing);
    EXPECT_EQ(job.result, JOB_OK);
    ExpectPieces(dir / "d/e", "src.bin", content, 4096);
}

TEST_F(SplitJob, PieceNamesKeepTheWholeSourceName) {
    const std::string content = Pattern(4096 * 10);
    JobOutcome job = Split(content, 4096, "a__b.txt");
    EXPECT_EQ(job.result, JOB_OK);
    EXPECT_EQ(job.done, 11);
    ExpectPieces(dir / "out", "a__b.txt", content, 4096);
    EXPECT_TRUE(Exists(dir / "out/10__a__b.txt"));
}

TEST_F(SplitJob, SourceThatCannotBeOpenedCreatesNothing) {
    for (const std::string& source : {dir / "missing.bin", dir / "folder"}) {
        if (source == dir / "folder") {
            MakeFolder(source);
        }
        WaitUntilIdle(controller);
        ASSERT_TRUE(controller.StartSplit((dir / "out").c_str(), source.c_str(), 4096));
        JobOutcome job = CollectJob(receiver);
        EXPECT_EQ(job.broken, "");
        EXPECT_FALSE(job.hasRange);
        EXPECT_EQ(job.result, JOB_SOURCE_ERROR);
        EXPECT_EQ(job.done, 0);
        EXPECT_FALSE(Exists(dir / "out"));
    }
}

TEST_F(SplitJob, TargetThatCannotBeCreated) {
    WriteWholeFile(dir / "file", "not a folder");
    JobOutcome job = Split(Pattern(100), 4096, "src.bin", dir / "file/sub");
    EXPECT_EQ(job.broken, "");
    EXPECT_TRUE(job.hasRange);
    EXPECT_EQ(job.result, JOB_TARGET_ERROR);
    EXPECT_EQ(job.done, 0);
    EXPECT_TRUE(Exists(dir / "src.bin"));
}

TEST_F(SplitJob, ExistingPiecesAreReplacedAndHigherOnesKept) {
    MakeFolder(dir / "out");
    WriteWholeFile(dir / "out/1__src.bin", Pattern(50000, 9));
    WriteWholeFile(dir / "out/7__src.bin", "older");
    JobOutcome job = Split(Pattern(100), 4096);
    EXPECT_EQ(job.result, JOB_OK);
    EXPECT_EQ(ReadWholeFile(dir / "out/1__src.bin"), Pattern(100));
    EXPECT_EQ(ReadWholeFile(dir / "out/7__src.bin"), "older");
}

TEST_F(SplitJob, DeleteAfterUseRemovesTheSourceOnlyOnSuccess) {
    const std::string content = Pattern(3 * 4096 + 7);
    controller.m_bDeleteSource = true;
    JobOutcome job = Split(content, 4096);
    EXPECT_EQ(job.result, JOB_OK);
    EXPECT_FALSE(Exists(dir / "src.bin"));  // gone before WM_JOB_DONE was posted
    ExpectPieces(dir / "out", "src.bin", content, 4096);

    WriteWholeFile(dir / "blocker", "");
    job = Split(content, 4096, "src.bin", dir / "blocker/out");
    EXPECT_EQ(job.result, JOB_TARGET_ERROR);
    EXPECT_EQ(ReadWholeFile(dir / "src.bin"), content);
}

TEST_F(SplitJob, DeleteAfterUseIsReadWhenTheSourceIsExhausted) {
    const std::string content = Pattern(8 * 4096);
    if (!receiver.CatchWorkerAt(WM_JOB_PROGRESS, 4)) {
        GTEST_SKIP() << "posting never blocks here";
    }
    WriteWholeFile(dir / "src.bin", content);
    ASSERT_TRUE(controller.StartSplit((dir / "out").c_str(), (dir / "src.bin").c_str(), 4096));
    ASSERT_TRUE(receiver.WaitWorkerCaught(seconds(30)));
    controller.m_bDeleteSource = true;  // pieces 1 to 4 were closed without it
    receiver.ReleaseWorker();
    JobOutcome job = CollectJob(receiver);
    EXPECT_EQ(job.result, JOB_OK);
    EXPECT_FALSE(Exists(dir / "src.bin"));
    ExpectPieces(dir / "out", "src.bin", content, 4096);

    WriteWholeFile(dir / "src.bin", content);
    WaitUntilIdle(controller);
    receiver.CatchWorkerAt(WM_JOB_PROGRESS, 2);
    ASSERT_TRUE(controller.StartSplit((dir / "out").c_str(), (dir / "src.bin").c_str(), 4096));
    ASSERT_TRUE(receiver.WaitWorkerCaught(seconds(30)));
    controller.m_bDeleteSource = false;
    receiver.ReleaseWorker();
    EXPECT_EQ(CollectJob(receiver).result, JOB_OK);
    EXPECT_EQ(ReadWholeFile(dir / "src.bin"), content);
}

TEST_F(SplitJob, ASourceChangedWhileItIsSplitIsNeverDeleted) {
    // After piece 1 the source grows, or its time changes without its length. The pieces
    // hold what it held at the start; with delete-after-use it stays, and the job says the
    // source failed. Windows keeps other programs from changing it meanwhile, and then it
    // goes as usual.
    class Changer : public JobObserver {
    public:
        void PieceBytes(const char*, std::size_t) override {}
        JobResult PieceDone(int number) override {
            if (number == 1 && grow) {
                std::ofstream file(path, std::ios::binary | std::ios::app);
                changed = static_cast<bool>(file << "more" << std::flush);
            }
            if (number == 1 && !grow) {
                std::error_code error;
                const auto time = std::filesystem::last_write_time(path, error);
                std::filesystem::last_write_time(path, time - std::chrono::hours(1), error);
                changed = !error;
            }
            return JOB_OK;
        }
        JobResult Finished(const std::string&, const std::string&, int) override { return JOB_OK; }

        std::string path;
        bool grow = false;
        bool changed = false;  // the change was let through
    };
    const std::string content = Pattern(2 * 4096 + 100);
    Changer changer;
    changer.path = dir / "src.bin";
    controller.SetObserver(&changer);
    for (bool grow : {true, false}) {
        for (bool deleting : {true, false}) {
            SCOPED_TRACE(std::string(grow ? "grown" : "touched") + (deleting ? ", deleting" : ""));
            changer.grow = grow;
            changer.changed = false;
            controller.m_bDeleteSource = deleting;
            RemoveTree(dir / "out");
            const JobOutcome job = Split(content, 4096);
            ExpectPieces(dir / "out", "src.bin", content, 4096);
            if (deleting && changer.changed) {
                EXPECT_EQ(job.result, JOB_SOURCE_ERROR);
                EXPECT_EQ(ReadWholeFile(dir / "src.bin").substr(0, content.size()), content);
            } else {
                EXPECT_EQ(job.result, JOB_OK);
                EXPECT_EQ(Exists(dir / "src.bin"), !deleting);
            }
        }
    }
    controller.SetObserver(nullptr);
}

TEST_F(SplitJob, AHoldOrAStopBeforeTheSourceGoesIsHonoured) {
    // Caught as the last piece is done, the job is held, or asked to stop, before it
    // flushes the pieces and deletes the source: held it posts no result and deletes
    // nothing until released, and a stop keeps the source.
    class Gate : public JobObserver {
    public:
        void PieceBytes(const char*, std::size_t) override {}
        JobResult PieceDone(int number) override {
            if (number == last) {
                caught = true;
                gate.Pass();
            }
            return JOB_OK;
        }
        JobResult Finished(const std::string&, const std::string&, int) override { return JOB_OK; }

        int last = 0;
        std::atomic<bool> caught{false};
        HoldGate gate;
    };
    const std::string content = Pattern(4 * 4096 + 10);
    for (bool hold : {true, false}) {
        SCOPED_TRACE(hold ? "held, then stopped" : "stopped");
        Gate observer;
        observer.last = 5;
        observer.gate.Hold();
        controller.SetObserver(&observer);
        controller.m_bDeleteSource = true;
        WriteWholeFile(dir / "src.bin", content);
        WaitUntilIdle(controller);
        ASSERT_TRUE(controller.StartSplit((dir / "out").c_str(), (dir / "src.bin").c_str(), 4096));
        for (int i = 0; i < 3000 && !observer.caught; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ASSERT_TRUE(observer.caught);
        if (hold) {
            EXPECT_TRUE(controller.Pause());
            observer.gate.Release();
            for (const JobMessage& m : Drain(receiver, std::chrono::milliseconds(300))) {
                EXPECT_NE(m.message, WM_JOB_DONE) << "a result while held";
            }
            EXPECT_TRUE(Exists(dir / "src.bin"));
            EXPECT_TRUE(controller.Abort());
        } else {
            EXPECT_TRUE(controller.Abort());
            observer.gate.Release();
        }
        const JobOutcome job = CollectJob(receiver);
        EXPECT_EQ(job.result, JOB_ABORTED);
        EXPECT_EQ(ReadWholeFile(dir / "src.bin"), content);
        controller.SetObserver(nullptr);
    }
}

TEST_F(SplitJob, StopBeforeTheFirstBlockLeavesAnEmptyPiece) {
    if (!receiver.CatchWorkerAt(WM_JOB_RANGE, 1)) {
        GTEST_SKIP() << "posting never blocks here";
    }
    WriteWholeFile(dir / "src.bin", Pattern(5 * 4096));
    ASSERT_TRUE(controller.StartSplit((dir / "out").c_str(), (dir / "src.bin").c_str(), 4096));
    ASSERT_TRUE(receiver.WaitWorkerCaught(seconds(30)));
    EXPECT_TRUE(controller.Abort());
    receiver.ReleaseWorker();
    JobOutcome job = CollectJob(receiver);
    EXPECT_EQ(job.broken, "");
    EXPECT_EQ(job.result, JOB_ABORTED);
    EXPECT_EQ(job.done, 0);
    EXPECT_EQ(ReadWholeFile(dir / "out/1__src.bin"), "");
    EXPECT_EQ(ListNames(dir / "out").size(), 1u);
}

TEST_F(SplitJob, StopWhilePieceThreeIsWritten) {
    const std::string content = Pattern(5 * 8192);
    if (!receiver.CatchWorkerAt(WM_JOB_PROGRESS, 2)) {
        GTEST_SKIP() << "posting never blocks here";
    }
    WriteWholeFile(dir / "src.bin", content);
    ASSERT_TRUE(controller.StartSplit((dir / "out").c_str(), (dir / "src.bin").c_str(), 8192));
    ASSERT_TRUE(receiver.WaitWorkerCaught(seconds(30)));
    EXPECT_TRUE(controller.Pause());
    receiver.ReleaseWorker();
    EXPECT_TRUE(controller.Abort());
    JobOutcome job = CollectJob(receiver);
    EXPECT_EQ(job.broken, "");
    EXPECT_EQ(job.result, JOB_ABORTED);
    EXPECT_EQ(job.done, 2);
    EXPECT_EQ(ReadWholeFile(dir / "out/1__src.bin"), content.substr(0, 8192));
    EXPECT_EQ(ReadWholeFile(dir / "out/2__src.bin"), content.substr(8192, 8192));
    EXPECT_EQ(content.substr(16384).find(ReadWholeFile(dir / "out/3__src.bin")), 0u);
    EXPECT_FALSE(Exists(dir / "out/4__src.bin"));
    EXPECT_TRUE(Exists(dir / "src.bin"));
}

TEST_F(SplitJob, StopsDuringShutdownPostNothing) {
    for (std::intptr_t piece : {0, 2}) {
        JobReceiver quiet;
        auto owned = std::make_unique<CJobController>(quiet.Target());
        const bool catches = piece == 0 ? quiet.CatchWorkerAt(WM_JOB_RANGE, 1)
                                        : quiet.CatchWorkerAt(WM_JOB_PROGRESS, piece);
        if (!catches) {
            GTEST_SKIP() << "posting never blocks here";
        }
        owned->m_bDeleteSource = true;
        WriteWholeFile(dir / "src.bin", Pattern(5 * 4096));
        ASSERT_TRUE(owned->StartSplit((dir / "out").c_str(), (dir / "src.bin").c_str(), 4096));
        ASSERT_TRUE(quiet.WaitWorkerCaught(seconds(30)));
        // Shutdown clears the flag first, then waits; the worker is let go meanwhile.
        std::thread release([&quiet] {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            quiet.ReleaseWorker();
        });
        owned.reset();
        release.join();
        std::vector<JobMessage> after = Drain(quiet);
        for (const JobMessage& m : after) {
            EXPECT_NE(m.message, WM_JOB_DONE) << "stopped at piece " << piece;
        }
        EXPECT_TRUE(Exists(dir / "src.bin"));
    }
}

}  // namespace
