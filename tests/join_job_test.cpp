// The join job: which pieces it takes, what it refuses, and when pieces may go.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <memory>
#include <utility>
#include <thread>

#include "engine/hold_gate.h"
#include "engine/job_controller.h"
#include "engine/job_paths.h"
#include "engine/piece_set.h"
#include "folder/join_verifier.h"
#include "platform/file.h"
#include "platform/file_system.h"
#include "platform/sha256.h"
#include "platform/system_error.h"
#include "tests/support/job_outcome.h"
#include "tests/support/test_files.h"

namespace {

using std::chrono::seconds;

// Sees what a front end that checks the bytes sees, and vetoes where told to.
class Watcher : public JobObserver {
public:
    JobResult JoinStarts(const std::string&,
                         const std::vector<std::uint64_t>& pieceLengths) override {
        lengths = pieceLengths;
        return JOB_OK;
    }
    void PieceBytes(const char* data, std::size_t size) override { current.append(data, size); }
    JobResult PieceDone(int number) override {
        pieces.push_back(current);
        current.clear();
        if (onPieceDone) {
            onPieceDone(number);
        }
        return number == vetoPiece ? JOB_SOURCE_ERROR : JOB_OK;
    }
    JobResult Finished(const std::string& folder, const std::string& fileName, int count) override {
        finished = fileName + " " + std::to_string(count);
        namesAtFinish = ListNames(folder);
        return finishVerdict;
    }

    int vetoPiece = 0;
    std::function<void(int)> onPieceDone;
    JobResult finishVerdict = JOB_OK;
    std::vector<std::uint64_t> lengths;
    std::string current;
    std::vector<std::string> pieces;
    std::string finished;
    std::vector<std::string> namesAtFinish;
};

class JoinJob : public ::testing::Test {
protected:
    JoinJob() {
        controller.SetClock([this] { return std::chrono::steady_clock::time_point(now.load()); });
    }

    JobOutcome Join(const std::string& source,
                    const std::string& target,
                    const JoinOptions& options = JoinOptions()) {
        WaitUntilIdle(controller);
        EXPECT_TRUE(controller.StartJoin(target.c_str(), source.c_str(), options));
        return CollectJob(receiver);
    }

    // Moves the jobs' clock on, as far as a batch of pieces waits before its deletion.
    void LetBatchAge() { now = now.load() + std::chrono::seconds(1); }

    void Piece(const std::string& name, const std::string& bytes) {
        if (!Exists(dir / "in")) {
            MakeFolder(dir / "in");
        }
        WriteWholeFile(dir / ("in/" + name), bytes);
    }

    std::atomic<std::chrono::steady_clock::duration> now{};
    TempFolder dir;
    JobReceiver receiver;
    CJobController controller{receiver.Target()};
};

TEST_F(JoinJob, PiecesJoinInNumberOrder) {
    for (int count : {1, 2, 3, 12}) {
        SCOPED_TRACE(count);
        std::string whole;
        RemoveTree(dir / "in");
        for (int k = 1; k <= count; ++k) {
            const std::string bytes = Pattern(k < count ? 1000 : 300, k);
            Piece(std::to_string(k) + "__a.bin", bytes);
            whole += bytes;
        }
        JobOutcome job = Join(dir / "in", dir / "out");
        EXPECT_EQ(job.broken, "");
        EXPECT_EQ(job.range, static_cast<std::uint64_t>(count));
        EXPECT_EQ(job.rangeKind, 0);
        EXPECT_EQ(job.result, JOB_OK);
        EXPECT_EQ(job.done, count);
        EXPECT_EQ(ReadWholeFile(dir / "out/a.bin"), whole);
    }
}

// A receiver may act on the result at once: delete the pieces, open the output for writing.
// On Windows a file the job still held would refuse that.
TEST_F(JoinJob, TheResultComesOnceTheJobHoldsNoFile) {
    for (unsigned round = 0; round < 20; ++round) {
        RemoveTree(dir / "in");
        RemoveTree(dir / "out");
        Piece("1__a.bin", Pattern(5000, round));
        Piece("2__a.bin", Pattern(70, round));
        JobOutcome job = Join(dir / "in", dir / "out");
        ASSERT_EQ(job.result, JOB_OK) << "round " << round;
        for (const char* name : {"out/a.bin", "in/1__a.bin", "in/2__a.bin"}) {
            platform::File file;
            EXPECT_TRUE(file.Open(dir / name, platform::File::Access::kWriteExisting))
                << name << ", round " << round << ": " << platform::LastSystemError();
        }
    }
}

TEST_F(JoinJob, IncompleteSetsAreRefusedBeforeAnythingIsCreated) {
    const std::vector<std::vector<int>> sets = {{1, 2, 4}, {2, 3}, {3}};
    for (const std::vector<int>& set : sets) {
        RemoveTree(dir / "in");
        for (int k : set) {
            Piece(std::to_string(k) + "__a.bin", Pattern(100, k));
        }
        controller.m_bDeleteSource = true;
        JobOutcome job = Join(dir / "in", dir / "out");
        EXPECT_EQ(job.broken, "");
        EXPECT_FALSE(job.hasRange);
        EXPECT_EQ(job.result, JOB_SOURCE_ERROR);
        EXPECT_EQ(job.done, 0);
        EXPECT_FALSE(Exists(dir / "out"));
        EXPECT_EQ(ListNames(dir / "in").size(), set.size());
    }
}

TEST_F(JoinJob, PiecesThatCannotComeFromOneSplitAreRefused) {
    struct Case {
        const char* what;
        std::vector<std::size_t> lengths;
        bool joins;
    };
    const std::vector<Case> cases = {
        {"a lone piece of any length", {12345}, true},
        {"a last piece as long as the others", {4096, 4096, 4096}, true},
        {"an empty last piece", {4096, 4096, 0}, true},
        {"a last piece shorter than the others", {8192, 8192, 5}, true},
        {"a middle piece cut short", {8192, 4000, 8192}, false},
        {"a middle piece grown", {8192, 9000, 100}, false},
        {"a last piece longer than the others", {4096, 4096, 4097}, false},
        {"an empty first piece", {0, 0}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RemoveTree(dir / "in");
        RemoveTree(dir / "out");
        std::string whole;
        for (std::size_t k = 1; k <= c.lengths.size(); ++k) {
            const std::string bytes = Pattern(c.lengths[k - 1], static_cast<unsigned>(k));
            Piece(std::to_string(k) + "__a.bin", bytes);
            whole += bytes;
        }
        controller.m_bDeleteSource = !c.joins;
        JobOutcome job = Join(dir / "in", dir / "out");
        EXPECT_EQ(job.broken, "");
        if (c.joins) {
            EXPECT_EQ(job.result, JOB_OK);
            EXPECT_EQ(ReadWholeFile(dir / "out/a.bin"), whole);
        } else {
            EXPECT_EQ(job.result, JOB_SOURCE_ERROR);
            EXPECT_FALSE(job.hasRange);
            EXPECT_FALSE(Exists(dir / "out"));
            EXPECT_EQ(ListNames(dir / "in").size(), c.lengths.size());
        }
    }
}

TEST_F(JoinJob, StalePiecesOfAnEarlierSplitAreRefused) {
    // Each row: two splits into one folder, the second leaving pieces of the first behind.
    struct Resplit {
        std::size_t firstLength;
        std::uint32_t firstSize;
        std::size_t secondLength;
        std::uint32_t secondSize;
    };
    for (const Resplit& r : {Resplit{10 * 4096, 4096, 10 * 4096, 3 * 4096},
                             Resplit{20 * 4096, 8 * 4096, 3 * 4096, 2 * 4096}}) {
        SCOPED_TRACE(std::to_string(r.firstSize) + " then " + std::to_string(r.secondSize));
        RemoveTree(dir / "in");
        for (const auto& [length, size] :
             {std::pair{r.firstLength, r.firstSize}, std::pair{r.secondLength, r.secondSize}}) {
            WriteWholeFile(dir / "a.bin", Pattern(length, size));
            WaitUntilIdle(controller);
            ASSERT_TRUE(controller.StartSplit((dir / "in").c_str(), (dir / "a.bin").c_str(), size));
            ASSERT_EQ(CollectJob(receiver).result, JOB_OK);
        }
        const std::vector<std::string> pieces = ListNames(dir / "in");
        controller.m_bDeleteSource = true;
        EXPECT_EQ(Join(dir / "in", dir / "out").result, JOB_SOURCE_ERROR);
        EXPECT_FALSE(Exists(dir / "out"));
        EXPECT_EQ(ListNames(dir / "in"), pieces);
    }
}

TEST_F(JoinJob, PieceThatChangesDuringTheJoinIsASourceError) {
    for (const std::string& changed : {Pattern(3000, 9), Pattern(5000, 9) + "more"}) {
        RemoveTree(dir / "in");
        RemoveTree(dir / "out");
        for (int k = 1; k <= 3; ++k) {
            Piece(std::to_string(k) + "__a.bin", Pattern(5000, k));
        }
        // Piece 2 changes once piece 1 is joined: after the check, before its copy.
        Watcher watcher;
        watcher.onPieceDone = [&](int number) {
            if (number == 1) {
                WriteWholeFile(dir / "in/2__a.bin", changed);
            }
        };
        controller.SetObserver(&watcher);
        controller.m_bDeleteSource = true;
        JobOutcome job = Join(dir / "in", dir / "out");
        controller.SetObserver(nullptr);
        EXPECT_EQ(job.broken, "");
        EXPECT_EQ(job.result, JOB_SOURCE_ERROR);
        EXPECT_TRUE(Exists(dir / "in/2__a.bin"));
        EXPECT_TRUE(Exists(dir / "in/3__a.bin"));
        EXPECT_EQ(ReadWholeFile(dir / "out/a.bin"), job.done == 1 ? Pattern(5000, 1) : "");
    }
}

#ifdef _WIN32
TEST_F(JoinJob, PieceNamesMatchWithoutRegardToCase) {
    Piece("1__a.bin", Pattern(4096, 1));
    Piece("2__a.bin", Pattern(4096, 2));
    Piece("3__A.BIN", "end");
    JobOutcome job = Join(dir / "in", dir / "out");
    EXPECT_EQ(job.result, JOB_OK);
    EXPECT_EQ(job.done, 3);
    EXPECT_EQ(ReadWholeFile(dir / "out/a.bin"), Pattern(4096, 1) + Pattern(4096, 2) + "end");
}
#endif

TEST_F(JoinJob, SourceFoldersWithoutPieces) {
    MakeFolder(dir / "empty");
    MakeFolder(dir / "plain");
    WriteWholeFile(dir / "plain/readme.txt", "x");
    WriteWholeFile(dir / "plain/a_b.txt", "x");
    for (const std::string& source : {dir / "empty", dir / "plain", dir / "missing"}) {
        JobOutcome job = Join(source, dir / "out");
        EXPECT_EQ(job.broken, "");
        EXPECT_FALSE(job.hasRange);
        EXPECT_EQ(job.result, JOB_SOURCE_ERROR);
        EXPECT_FALSE(Exists(dir / "out"));
    }
}

TEST_F(JoinJob, UnrelatedLastMatchDoesNotEmptyAFile) {
    Piece("notes__old.txt", "unrelated");
    MakeFolder(dir / "out");
    WriteWholeFile(dir / "out/old.txt", "keep me");
    JobOutcome job = Join(dir / "in", dir / "out");
    EXPECT_EQ(job.result, JOB_SOURCE_ERROR);
    EXPECT_EQ(ReadWholeFile(dir / "out/old.txt"), "keep me");
}

// Only N__NAME files are pieces: a stray entry with "__" in its name, or a folder, listed
// before or after the pieces, neither names the file nor counts.
TEST_F(JoinJob, StrayEntriesAndFoldersNeitherNameNorCount) {
    for (bool straysFirst : {true, false}) {
        SCOPED_TRACE(straysFirst);
        RemoveTree(dir / "in");
        RemoveTree(dir / "out");
        MakeFolder(dir / "in");
        if (straysFirst) {
            Piece("read__me.txt", "notes");
            MakeFolder(dir / "in/old__stuff");
        }
        Piece("1__a.bin", "one");
        Piece("2__a.bin", "two");
        if (!straysFirst) {
            Piece("read__me.txt", "notes");
            MakeFolder(dir / "in/old__stuff");
        }
        JobOutcome job = Join(dir / "in", dir / "out");
        EXPECT_EQ(job.broken, "");
        EXPECT_EQ(job.result, JOB_OK);
        EXPECT_EQ(job.range, 2u);
        EXPECT_EQ(ReadWholeFile(dir / "out/a.bin"), "onetwo");
    }
}

TEST_F(JoinJob, FoldersAreNeverPieces) {
    MakeFolder(dir / "in");
    MakeFolder(dir / "in/1__sub");
    MakeFolder(dir / "out");
    WriteWholeFile(dir / "out/sub", "the user's own file");
    controller.m_bDeleteSource = true;
    EXPECT_EQ(Join(dir / "in", dir / "out").result, JOB_SOURCE_ERROR);
    EXPECT_EQ(ReadWholeFile(dir / "out/sub"), "the user's own file");

    // A folder in the place of piece 2 is a gap: nothing is joined or deleted.
    Piece("1__a.bin", "one");
    MakeFolder(dir / "in/2__a.bin");
    Piece("3__a.bin", "three");
    WriteWholeFile(dir / "out/a.bin", "keep");
    EXPECT_EQ(Join(dir / "in", dir / "out").result, JOB_SOURCE_ERROR);
    EXPECT_EQ(ReadWholeFile(dir / "out/a.bin"), "keep");
    EXPECT_EQ(ReadWholeFile(dir / "in/1__a.bin"), "one");
}

TEST_F(JoinJob, NamesWithTheMarkerInside) {
    Piece("1__a__b.txt", "first ");
    Piece("2__a__b.txt", "second");
    JobOutcome job = Join(dir / "in", dir / "out");
    EXPECT_EQ(job.result, JOB_OK);
    EXPECT_EQ(ReadWholeFile(dir / "out/a__b.txt"), "first second");
}

TEST_F(JoinJob, SameFolderAndDeepTargets) {
    Piece("1__a.bin", "xy");
    Piece("2__a.bin", "z");
    EXPECT_EQ(Join(dir / "in", dir / "in").result, JOB_OK);
    EXPECT_EQ(ReadWholeFile(dir / "in/a.bin"), "xyz");

    const std::string deep = (dir / "d/e") + platform::kPathSeparator;
    EXPECT_EQ(Join((dir / "in") + platform::kPathSeparator, deep).result, JOB_OK);
    EXPECT_EQ(ReadWholeFile(dir / "d/e/a.bin"), "xyz");
}

TEST_F(JoinJob, ExistingOutputIsReplacedAndEmptyPiecesAddNothing) {
    Piece("1__a.bin", Pattern(4096));
    Piece("2__a.bin", "");
    MakeFolder(dir / "out");
    WriteWholeFile(dir / "out/a.bin", Pattern(100000, 7));
    EXPECT_EQ(Join(dir / "in", dir / "out").result, JOB_OK);
    EXPECT_EQ(ReadWholeFile(dir / "out/a.bin"), Pattern(4096));
}

TEST_F(JoinJob, OutputThatCannotBeCreated) {
    Piece("1__a.bin", "x");
    WriteWholeFile(dir / "file", "");
    JobOutcome job = Join(dir / "in", dir / "file/out");
    EXPECT_EQ(job.broken, "");
    EXPECT_FALSE(job.hasRange);
    EXPECT_EQ(job.result, JOB_TARGET_ERROR);
    EXPECT_TRUE(Exists(dir / "in/1__a.bin"));
}

TEST_F(JoinJob, DeleteAfterUseRemovesEachPieceBeforeItsProgress) {
    for (int k = 1; k <= 4; ++k) {
        Piece(std::to_string(k) + "__a.bin", Pattern(5000, k));
    }
    controller.m_bDeleteSource = true;
    if (receiver.CatchWorkerAt(WM_JOB_PROGRESS, 2)) {
        ASSERT_TRUE(controller.StartJoin((dir / "out").c_str(), (dir / "in").c_str()));
        ASSERT_TRUE(receiver.WaitWorkerCaught(seconds(30)));
        EXPECT_FALSE(Exists(dir / "in/1__a.bin"));
        EXPECT_FALSE(Exists(dir / "in/2__a.bin"));
        EXPECT_TRUE(Exists(dir / "in/3__a.bin"));
        receiver.ReleaseWorker();
        EXPECT_EQ(CollectJob(receiver).result, JOB_OK);
    } else {
        EXPECT_EQ(Join(dir / "in", dir / "out").result, JOB_OK);
    }
    EXPECT_TRUE(ListNames(dir / "in").empty());
    EXPECT_EQ(ReadWholeFile(dir / "out/a.bin"),
              Pattern(5000, 1) + Pattern(5000, 2) + Pattern(5000, 3) + Pattern(5000, 4));
}

TEST_F(JoinJob, StopLeavesTheJoinedFileAndThePiecesLeftExactlyTheOriginal) {
    // The job is held after piece 9 of 12 and aborted there. With batches due at every
    // piece, the first pieces were flushed and deleted by then; without, none was.
    std::vector<std::string> pieces;
    std::string whole;
    for (int k = 1; k <= 12; ++k) {
        pieces.push_back(Pattern(5000, k));
        whole += pieces.back();
    }
    for (bool batchAged : {false, true}) {
        SCOPED_TRACE(batchAged);
        RemoveTree(dir / "in");
        RemoveTree(dir / "out");
        for (std::size_t k = 0; k < pieces.size(); ++k) {
            Piece(std::to_string(k + 1) + "__a.bin", pieces[k]);
        }
        HoldGate gate;
        gate.Hold();
        std::atomic<bool> caught{false};
        Watcher watcher;
        watcher.onPieceDone = [&](int number) {
            if (batchAged) {
                LetBatchAge();
            }
            if (number == 9) {
                caught = true;
                gate.Pass();
            }
        };
        controller.SetObserver(&watcher);
        controller.m_bDeleteSource = true;
        WaitUntilIdle(controller);
        ASSERT_TRUE(controller.StartJoin((dir / "out").c_str(), (dir / "in").c_str()));
        for (int i = 0; i < 3000 && !caught; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ASSERT_TRUE(caught);
        // The batches handed over are deleted beside the copy; a deletion comes first here.
        for (int i = 0; i < 500 && batchAged && Exists(dir / "in/1__a.bin"); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        EXPECT_TRUE(controller.Abort());
        gate.Release();
        const JobOutcome job = CollectJob(receiver);
        EXPECT_EQ(job.broken, "");
        EXPECT_EQ(job.result, JOB_ABORTED);
        int gone = 0;
        while (gone < 12 && !Exists(dir / ("in/" + std::to_string(gone + 1) + "__a.bin"))) {
            ++gone;
        }
        std::vector<std::string> left;
        std::string rest;
        for (std::size_t k = static_cast<std::size_t>(gone); k < pieces.size(); ++k) {
            left.push_back(std::to_string(k + 1) + "__a.bin");
            rest += pieces[k];
        }
        std::sort(left.begin(), left.end());
        EXPECT_EQ(ListNames(dir / "in"), left);
        EXPECT_EQ(ReadWholeFile(dir / "out/a.bin") + rest, whole);
        if (batchAged) {
            EXPECT_GT(gone, 0);
        } else {
            EXPECT_EQ(gone, 0);
        }
        controller.SetObserver(nullptr);
    }
}

TEST_F(JoinJob, StopDuringShutdownPostsNothing) {
    // Pieces are reported some way behind their copy: enough are left to copy once piece 1
    // is reported.
    for (int k = 1; k <= 12; ++k) {
        Piece(std::to_string(k) + "__a.bin", Pattern(5000, k));
    }
    JobReceiver quiet;
    if (!quiet.CatchWorkerAt(WM_JOB_PROGRESS, 1)) {
        GTEST_SKIP() << "posting never blocks here";
    }
    auto owned = std::make_unique<CJobController>(quiet.Target());
    ASSERT_TRUE(owned->StartJoin((dir / "out").c_str(), (dir / "in").c_str()));
    ASSERT_TRUE(quiet.WaitWorkerCaught(seconds(30)));
    std::thread release([&quiet] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        quiet.ReleaseWorker();
    });
    owned.reset();
    release.join();
    for (const JobMessage& m : Drain(quiet)) {
        EXPECT_NE(m.message, WM_JOB_DONE);
    }
    EXPECT_EQ(ListNames(dir / "in").size(), 12u);
}

TEST_F(JoinJob, ObserverSeesEveryPieceBeforeTheSourceGoes) {
    const std::string content = Pattern(3 * 4096 + 10);
    Watcher watcher;
    controller.SetObserver(&watcher);
    controller.m_bDeleteSource = true;
    for (JobResult verdict : {JOB_TARGET_ERROR, JOB_OK}) {
        SCOPED_TRACE(verdict);
        watcher = Watcher();
        watcher.finishVerdict = verdict;
        WriteWholeFile(dir / "a.bin", content);
        WaitUntilIdle(controller);
        ASSERT_TRUE(controller.StartSplit((dir / "p").c_str(), (dir / "a.bin").c_str(), 8192));
        const JobOutcome job = CollectJob(receiver);
        EXPECT_EQ(job.result, verdict);
        EXPECT_EQ(job.done, 2);
        EXPECT_EQ(watcher.pieces, ExpectedPieces(content, 8192));
        EXPECT_EQ(watcher.finished, "a.bin 2");
        EXPECT_EQ(watcher.namesAtFinish, (std::vector<std::string>{"1__a.bin", "2__a.bin"}));
        EXPECT_EQ(Exists(dir / "a.bin"), verdict != JOB_OK);
    }
}

TEST_F(JoinJob, StagedOutputTakesItsNameOnlyOnceAccepted) {
    std::vector<std::string> pieces;
    std::vector<std::string> all;
    for (int k = 1; k <= 10; ++k) {
        pieces.push_back(k < 10 ? Pattern(5000, static_cast<unsigned>(k)) : "end");
        all.push_back(std::to_string(k) + "__a.bin");
    }
    std::sort(all.begin(), all.end());
    const std::string staged = StagingName("a.bin");
    Watcher watcher;
    controller.SetObserver(&watcher);
    struct Case {
        int vetoPiece;
        bool deleteAfterUse;
        bool batchAged;  // every batch is due at once: the first pieces go before the veto
        JobResult result;
        bool staysStaged;  // the staged file holds the only copy of the pieces gone
    };
    const Case cases[] = {
        {0, true, false, JOB_OK, false},
        {2, false, false, JOB_SOURCE_ERROR, false},
        {2, true, false, JOB_SOURCE_ERROR, false},
        {9, true, true, JOB_SOURCE_ERROR, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.vetoPiece) + (c.deleteAfterUse ? " deleting" : ""));
        RemoveTree(dir / "in");
        RemoveTree(dir / "out");
        for (std::size_t k = 0; k < pieces.size(); ++k) {
            Piece(std::to_string(k + 1) + "__a.bin", pieces[k]);
        }
        watcher = Watcher();
        watcher.vetoPiece = c.vetoPiece;
        watcher.onPieceDone = [&](int) {
            if (c.batchAged) {
                LetBatchAge();
            }
        };
        controller.m_bDeleteSource = c.deleteAfterUse;
        JoinOptions staging;
        staging.staged = true;
        const JobOutcome job = Join(dir / "in", dir / "out", staging);
        EXPECT_EQ(job.broken, "");
        EXPECT_EQ(job.result, c.result);
        if (c.result == JOB_OK) {
            EXPECT_EQ(ListNames(dir / "in"), std::vector<std::string>{});
            EXPECT_EQ(ListNames(dir / "out"), std::vector<std::string>{"a.bin"});
            EXPECT_EQ(watcher.namesAtFinish, std::vector<std::string>{staged});
            EXPECT_EQ(watcher.finished, "a.bin 10");
            EXPECT_EQ(watcher.lengths.back(), 3u);
            std::string whole;
            for (const std::string& piece : pieces) {
                whole += piece;
            }
            EXPECT_EQ(ReadWholeFile(dir / "out/a.bin"), whole);
        } else if (!c.staysStaged) {
            EXPECT_EQ(ListNames(dir / "in"), all);
            EXPECT_EQ(ListNames(dir / "out"), std::vector<std::string>{});
        } else {
            // The pieces gone are the first ones, and the staged file holds exactly them.
            EXPECT_EQ(ListNames(dir / "out"), std::vector<std::string>{staged});
            std::string gone;
            int k = 1;
            for (; k <= 10 && !Exists(dir / ("in/" + std::to_string(k) + "__a.bin")); ++k) {
                gone += pieces[static_cast<std::size_t>(k - 1)];
            }
            EXPECT_GT(k, 1) << "no piece went before the veto";
            EXPECT_EQ(ListNames(dir / "in").size(), static_cast<std::size_t>(11 - k));
            EXPECT_EQ(ReadWholeFile(dir / ("out/" + staged)), gone);
        }
    }
}

TEST_F(JoinJob, TheOptionChangedDuringTheJobLosesNoPiece) {
    // The option follows a pattern over the five pieces (bit k: on when piece k+1 is done),
    // batches wait or are due at once, and the job ends normally, by an abort or by a
    // failure after piece 4. Whatever was deleted, its bytes are in the output at their
    // place, and every other piece is still there.
    std::vector<std::string> pieces;
    std::string whole;
    for (int k = 1; k <= 5; ++k) {
        pieces.push_back(Pattern(5000, static_cast<unsigned>(k)));
        whole += pieces.back();
    }
    enum class End { kNormal, kAbort, kFailure };
    Watcher watcher;
    controller.SetObserver(&watcher);
    for (unsigned pattern = 0; pattern < 32; ++pattern) {
        for (bool aged : {false, true}) {
            for (End ending : {End::kNormal, End::kAbort, End::kFailure}) {
                SCOPED_TRACE(std::to_string(pattern) + (aged ? " aged " : " waiting ") +
                             std::to_string(static_cast<int>(ending)));
                // The last job's worker may still be closing its files after its result:
                // on Windows a name deleted while open stays taken until the last close.
                WaitUntilIdle(controller);
                RemoveTree(dir / "in");
                RemoveTree(dir / "out");
                for (std::size_t k = 0; k < pieces.size(); ++k) {
                    Piece(std::to_string(k + 1) + "__a.bin", pieces[k]);
                }
                watcher = Watcher();
                watcher.vetoPiece = ending == End::kFailure ? 4 : 0;
                watcher.onPieceDone = [&, pattern, aged, ending](int number) {
                    controller.m_bDeleteSource = (pattern >> (number - 1) & 1) != 0;
                    if (aged) {
                        LetBatchAge();
                    }
                    if (ending == End::kAbort && number == 4) {
                        controller.Abort();
                    }
                };
                controller.m_bDeleteSource = false;
                const JobOutcome job = Join(dir / "in", dir / "out");
                ASSERT_EQ(job.broken, "");
                ASSERT_TRUE(Exists(dir / "out/a.bin")) << "no output; result " << job.result;
                const std::string output = ReadWholeFile(dir / "out/a.bin");
                ASSERT_EQ(output, whole.substr(0, output.size()));
                for (std::size_t k = 0; k < pieces.size(); ++k) {
                    if (!Exists(dir / ("in/" + std::to_string(k + 1) + "__a.bin"))) {
                        EXPECT_GE(output.size(), (k + 1) * 5000) << "piece " << k + 1 << " lost";
                    }
                }
                EXPECT_EQ(job.result, ending == End::kNormal  ? JOB_OK
                                      : ending == End::kAbort ? JOB_ABORTED
                                                              : JOB_SOURCE_ERROR);
                if (ending == End::kNormal) {
                    EXPECT_EQ(output, whole);
                }
            }
        }
    }
    controller.SetObserver(nullptr);
}

TEST(ContinueRule, WhereAJoinThatStoppedCanGoOn) {
    constexpr std::uint64_t L = 4096;
    const struct {
        const char* what;
        std::vector<int> numbers;
        std::vector<std::uint64_t> lengths;
        std::uint64_t partial;
        bool holdsLast;  // the partial output ends with the last piece already
        ContinueFit fit;
        int kept;
    } kCases[] = {
        {"pieces 3 to 5 left", {3, 4, 5}, {L, L, 10}, 2 * L, false, ContinueFit::kFits, 2},
        {"more than the pieces gone",
         {3, 4, 5},
         {L, L, 10},
         2 * L + 9,
         false,
         ContinueFit::kFits,
         2},
        {"fewer than the pieces gone",
         {3, 4, 5},
         {L, L, 10},
         2 * L - 1,
         false,
         ContinueFit::kNoFit,
         0},
        {"nothing missing", {1, 2, 3}, {L, L, 10}, 0, false, ContinueFit::kNothingMissing, 0},
        {"a piece kept before the gap", {2, 4, 5}, {L, L, 10}, 3 * L, false, ContinueFit::kFits, 3},
        {"a piece kept before the gap, too short",
         {2, 4, 5},
         {L - 1, L, 10},
         3 * L,
         false,
         ContinueFit::kNoFit,
         0},
        {"pieces left that do not fit",
         {3, 4, 5},
         {L, L - 1, 10},
         2 * L,
         false,
         ContinueFit::kNoFit,
         0},
        {"only the last, the rest exactly before it",
         {5},
         {10},
         4 * L,
         false,
         ContinueFit::kFits,
         4},
        {"only the last, held already", {5}, {10}, 4 * L + 10, true, ContinueFit::kFits, 4},
        {"only the last, both readings", {5}, {8}, 4 * L + 8, true, ContinueFit::kNoFit, 0},
        {"only an empty last", {5}, {0}, 4 * L, true, ContinueFit::kFits, 4},
        {"only the last, no whole pieces", {5}, {10}, 4 * L + 3, false, ContinueFit::kNoFit, 0},
        {"only the last, longer than the rest", {3}, {L + 1}, 2 * L, false, ContinueFit::kNoFit, 0},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.what);
        ContinuedJoin plan;
        std::string why;
        const ContinueFit fit = CheckContinue(
            c.numbers, c.lengths, c.partial,
            [&](std::uint64_t length) { return c.holdsLast && length == L; }, &plan, &why);
        EXPECT_EQ(fit, c.fit) << why;
        if (fit == ContinueFit::kFits) {
            EXPECT_EQ(plan.kept, c.kept);
            EXPECT_EQ(plan.count, c.numbers.back());
            EXPECT_EQ(plan.pieceLength, L);
        }
    }
}

TEST_F(JoinJob, AJoinThatStoppedGoesOnFromWhatItMade) {
    // Stopped by an abort or by a failure at piece 8, 10 or 11 of 12, with pieces deleted as
    // it went, the same join goes on from its partial output: in the output's own name (as
    // the dialog leaves it) or its staged one, with and without a SHA256SUMS to check.
    std::vector<std::string> pieces;
    std::string whole;
    for (int k = 1; k <= 12; ++k) {
        pieces.push_back(Pattern(k < 12 ? 5000 : 77, static_cast<unsigned>(k + 40)));
        whole += pieces.back();
    }
    for (int stop : {8, 10, 11}) {
        for (bool abort : {true, false}) {
            for (bool staged : {false, true}) {
                for (bool listed : {false, true}) {
                    SCOPED_TRACE(std::to_string(stop) + (abort ? " abort" : " failure") +
                                 (staged ? " staged" : "") + (listed ? " listed" : ""));
                    RemoveTree(dir / "in");
                    RemoveTree(dir / "out");
                    std::string sums;
                    platform::Sha256 sha;
                    for (std::size_t k = 0; k < pieces.size(); ++k) {
                        Piece(std::to_string(k + 1) + "__a.bin", pieces[k]);
                        std::string digest;
                        ASSERT_TRUE(sha.Update(pieces[k].data(), pieces[k].size()) &&
                                    sha.Finish(&digest));
                        sums += digest + "  " + std::to_string(k + 1) + "__a.bin\n";
                    }
                    if (listed) {
                        WriteWholeFile(dir / "in/SHA256SUMS", sums);
                    }
                    Watcher watcher;
                    watcher.vetoPiece = abort ? 0 : stop;
                    watcher.onPieceDone = [&](int number) {
                        LetBatchAge();
                        if (abort && number == stop) {
                            // The pieces handed over go before the abort, which would
                            // otherwise keep them.
                            for (int i = 0; i < 500 && Exists(dir / "in/1__a.bin"); ++i) {
                                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                            }
                            controller.Abort();
                        }
                    };
                    controller.SetObserver(&watcher);
                    controller.m_bDeleteSource = true;
                    JoinOptions options;
                    options.staged = staged;
                    const JobOutcome first = Join(dir / "in", dir / "out", options);
                    EXPECT_EQ(first.result, abort ? JOB_ABORTED : JOB_SOURCE_ERROR);
                    // The pieces gone are the first ones; the file holds them.
                    int kept = 0;
                    while (!Exists(dir / ("in/" + std::to_string(kept + 1) + "__a.bin"))) {
                        ++kept;
                    }
                    ASSERT_GT(kept, 0);

                    folder::JoinVerifier verifier;
                    sums::JoinChecker& checker = verifier.Checker();
                    checker.ReadList(dir / "in");
                    std::string reason;
                    ASSERT_TRUE(checker.Start(&reason)) << reason;
                    controller.SetObserver(&verifier);
                    options.continueOutput = !staged;
                    WaitUntilIdle(controller);
                    ASSERT_TRUE(
                        controller.StartJoin((dir / "out").c_str(), (dir / "in").c_str(), options));
                    const JobOutcome next = CollectJob(receiver, seconds(60), kept);
                    EXPECT_EQ(next.broken, "");
                    EXPECT_EQ(next.result, JOB_OK);
                    EXPECT_EQ(next.range, 12u);
                    ASSERT_FALSE(next.progress.empty());
                    EXPECT_EQ(next.progress.front(), kept + 1);
                    EXPECT_EQ(checker.Verifying(), listed);
                    EXPECT_EQ(ReadWholeFile(dir / "out/a.bin"), whole);
                    EXPECT_EQ(ListNames(dir / "out"), std::vector<std::string>{"a.bin"});
                    EXPECT_EQ(ListNames(dir / "in"), listed ? std::vector<std::string>{"SHA256SUMS"}
                                                            : std::vector<std::string>{});
                    controller.SetObserver(nullptr);
                }
            }
        }
    }
}

TEST_F(JoinJob, APartialOutputThatDoesNotFitIsLeftAsItIs) {
    // Pieces 3 and 4 of four are left; the partial output should hold pieces 1 and 2.
    const std::vector<std::string> pieces = {Pattern(5000, 1), Pattern(5000, 2), Pattern(5000, 3),
                                             Pattern(20, 4)};
    std::string digest1;
    platform::Sha256 sha;
    ASSERT_TRUE(sha.Update(pieces[0].data(), pieces[0].size()) && sha.Finish(&digest1));
    std::string other = pieces[0];
    other[9] ^= 1;
    const struct {
        const char* what;
        std::string partial;
        bool keepPiece1;  // piece 1 is still there (piece 2 is not, so pieces are missing)
        std::string sums;
        bool staged;
        const char* why;  // what the reason says
    } kCases[] = {
        {"too short", pieces[0] + pieces[1].substr(1), false, "", false, "fewer than"},
        {"a piece still there differs", other + pieces[1], true, "", false,
         "differ from piece 1, which is still there"},
        {"the list does not match", other + pieces[1], false, digest1 + "  1__a.bin\n", false, ""},
        {"a staged file of another set", pieces[0] + pieces[1].substr(9), false, "", true, ""},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.what);
        RemoveTree(dir / "in");
        RemoveTree(dir / "out");
        for (int k = c.keepPiece1 ? 1 : 3; k <= 4; ++k) {
            if (k != 2) {
                Piece(std::to_string(k) + "__a.bin", pieces[static_cast<std::size_t>(k - 1)]);
            }
        }
        if (!c.sums.empty()) {
            WriteWholeFile(dir / "in/SHA256SUMS", c.sums);
        }
        MakeFolder(dir / "out");
        const std::string partialName = c.staged ? StagingName("a.bin") : "a.bin";
        WriteWholeFile(dir / ("out/" + partialName), c.partial);
        const std::vector<std::string> before = ListNames(dir / "in");
        folder::JoinVerifier verifier;
        verifier.Checker().ReadList(dir / "in");
        std::string reason;
        ASSERT_TRUE(verifier.Checker().Start(&reason));
        controller.SetObserver(&verifier);
        controller.m_bDeleteSource = true;
        JoinOptions options;
        options.staged = c.staged;
        options.continueOutput = !c.staged;
        const JobOutcome job = Join(dir / "in", dir / "out", options);
        EXPECT_EQ(job.result, JOB_SOURCE_ERROR);
        EXPECT_FALSE(job.hasRange);
        EXPECT_NE(controller.LastReport().reason.find(c.why), std::string::npos)
            << controller.LastReport().reason;
        EXPECT_EQ(ReadWholeFile(dir / ("out/" + partialName)), c.partial);
        EXPECT_EQ(ListNames(dir / "out"), std::vector<std::string>{partialName});
        EXPECT_EQ(ListNames(dir / "in"), before);
        controller.SetObserver(nullptr);
    }
}

TEST_F(JoinJob, SplitThenJoinIsByteIdentical) {
    for (std::uint32_t size : {4096u, 3u * 4096u, 1u << 20}) {
        const std::size_t s = size;
        for (std::size_t length :
             {std::size_t{0}, std::size_t{1}, s - 1, s, s + 1, 2 * s, 10 * s + 4095}) {
            if (size == (1u << 20) && length > 3u * size) {
                continue;
            }
            SCOPED_TRACE(std::to_string(size) + "/" + std::to_string(length));
            const std::string content = Pattern(length, static_cast<unsigned>(length + size));
            RemoveTree(dir / "p");
            WriteWholeFile(dir / "src.bin", content);
            WaitUntilIdle(controller);
            ASSERT_TRUE(
                controller.StartSplit((dir / "p").c_str(), (dir / "src.bin").c_str(), size));
            ASSERT_EQ(CollectJob(receiver).result, JOB_OK);
            ASSERT_EQ(Join(dir / "p", dir / "j").result, JOB_OK);
            EXPECT_EQ(ReadWholeFile(dir / "j/src.bin"), content);
        }
    }
}

// A join while a split writes the same pieces, forced at the two moments where the claims
// decide: the join has listed the pieces and the split then ends before the join goes on;
// the join runs the moment the split's first piece has its name. The join takes the whole
// set or says the pieces are in use, leaving nothing; never a shorter file as a success.
TEST_F(JoinJob, AJoinDuringASplitTakesTheWholeSetOrNone) {
    const std::string content = Pattern(5 * 4096 + 100, 4);
    WriteWholeFile(dir / "f.bin", content);
    JobReceiver splitReceiver;
    CJobController split(splitReceiver.Target());
    Watcher writer;  // holds the split after its third piece until the join has listed
    split.SetObserver(&writer);
    std::mutex lock;
    std::condition_variable changed;
    bool held = false;
    bool released = false;
    const auto release = [&] {
        std::lock_guard<std::mutex> guard(lock);
        released = true;
        changed.notify_all();
    };
    const auto expectWholeOrNone = [&](const JobOutcome& joined) {
        if (joined.result == JOB_OK) {
            const std::string output = ReadWholeFile(dir / "out/f.bin");
            EXPECT_TRUE(output == content) << output.size() << " bytes joined, not the whole file";
        } else {
            EXPECT_EQ(joined.result, JOB_SOURCE_ERROR);
            EXPECT_EQ(controller.LastReport().problem, JobReport::Problem::kInUse);
            EXPECT_FALSE(Exists(dir / "out"));
        }
    };

    // The split ends while the join goes from its listing to its copy.
    writer.onPieceDone = [&](int number) {
        if (number == 3) {
            std::unique_lock<std::mutex> guard(lock);
            held = true;
            changed.notify_all();
            changed.wait(guard, [&] { return released; });
        }
    };
    controller.SetPointHook([&](CJobController::JobPoint point) {
        if (point == CJobController::JobPoint::kJoinListed) {
            release();
            WaitUntilIdle(split);
        }
    });
    ASSERT_TRUE(split.StartSplit((dir / "p").c_str(), (dir / "f.bin").c_str(), 4096));
    {
        std::unique_lock<std::mutex> guard(lock);
        changed.wait(guard, [&] { return held; });
    }
    const JobOutcome listed = Join(dir / "p", dir / "out");
    release();
    EXPECT_EQ(CollectJob(splitReceiver).result, JOB_OK);
    expectWholeOrNone(listed);
    controller.SetPointHook(nullptr);

    // The join runs the moment piece 1 has its name.
    RemoveTree(dir / "p");
    RemoveTree(dir / "out");
    writer.onPieceDone = nullptr;
    // The join runs to its end before the split goes on; its notifications are read here,
    // where the receiver is.
    bool started = false;
    split.SetPointHook([&](CJobController::JobPoint point) {
        if (point == CJobController::JobPoint::kSplitFirstVisible) {
            started = controller.StartJoin((dir / "out").c_str(), (dir / "p").c_str());
            WaitUntilIdle(controller);
        }
    });
    WaitUntilIdle(split);
    ASSERT_TRUE(split.StartSplit((dir / "p").c_str(), (dir / "f.bin").c_str(), 4096));
    EXPECT_EQ(CollectJob(splitReceiver).result, JOB_OK);
    ASSERT_TRUE(started);
    const JobOutcome early = CollectJob(receiver);
    EXPECT_TRUE(early.hasDone);
    expectWholeOrNone(early);
    split.SetObserver(nullptr);
}

// The last two pieces of a join with delete-after-use go only while the output is still
// where it was written, as every batch before them: moved away at the end, they stay.
TEST_F(JoinJob, TheLastPiecesStayWhenTheOutputMovedAtTheEnd) {
    std::string whole;
    for (int k = 1; k <= 4; ++k) {
        const std::string bytes = Pattern(k < 4 ? 5000 : 10, static_cast<unsigned>(k));
        Piece(std::to_string(k) + "__a.bin", bytes);
        whole += bytes;
    }
    class Mover : public Watcher {
    public:
        JobResult Finished(const std::string& folder, const std::string& name, int) override {
            platform::RenameFile(folder + name, folder + "moved.bin");
            return JOB_OK;
        }
    } mover;
    controller.SetObserver(&mover);
    controller.m_bDeleteSource = true;
    const JobOutcome job = Join(dir / "in", dir / "out");
    controller.SetObserver(nullptr);
    EXPECT_EQ(job.broken, "");
    EXPECT_EQ(job.result, JOB_TARGET_ERROR);
    EXPECT_EQ(controller.LastReport().problem, JobReport::Problem::kOutputMoved);
    EXPECT_EQ(ListNames(dir / "in"), (std::vector<std::string>{"3__a.bin", "4__a.bin"}));
    EXPECT_EQ(ReadWholeFile(dir / "out/moved.bin"), whole);
}

// A join that ends with a failed check leaves no byte of a piece that failed, or was not
// checked yet, in the file of the output's name: it ends with the last piece that passed,
// whatever was there before, and never before the pieces delete-after-use deleted.
TEST_F(JoinJob, AFailedCheckLeavesOnlyThePiecesThatPassed) {
    std::vector<std::string> pieces;
    std::string sums;
    platform::Sha256 sha;
    for (int k = 1; k <= 12; ++k) {
        pieces.push_back(Pattern(k < 12 ? 8192 : 100, static_cast<unsigned>(k)));
        std::string digest;
        ASSERT_TRUE(sha.Update(pieces.back().data(), pieces.back().size()) && sha.Finish(&digest));
        sums += digest + "  " + std::to_string(k) + "__a.bin\n";
    }
    const struct {
        int damaged;
        bool deleting;
    } kCases[] = {{7, false}, {2, true}, {10, true}};
    for (const auto& c : kCases) {
        SCOPED_TRACE(std::to_string(c.damaged) + (c.deleting ? " deleting" : ""));
        RemoveTree(dir / "in");
        RemoveTree(dir / "out");
        for (int k = 1; k <= 12; ++k) {
            std::string bytes = pieces[static_cast<std::size_t>(k - 1)];
            bytes[99] ^= k == c.damaged ? 1 : 0;
            Piece(std::to_string(k) + "__a.bin", bytes);
        }
        WriteWholeFile(dir / "in/SHA256SUMS", sums);
        MakeFolder(dir / "out");
        WriteWholeFile(dir / "out/a.bin", "a good file of that name");
        folder::JoinVerifier verifier;
        verifier.Checker().ReadList(dir / "in");
        std::string reason;
        ASSERT_TRUE(verifier.Checker().Start(&reason)) << reason;
        controller.SetObserver(&verifier);
        controller.m_bDeleteSource = c.deleting;
        const JobOutcome job = Join(dir / "in", dir / "out");
        controller.SetObserver(nullptr);
        EXPECT_EQ(job.broken, "");
        EXPECT_EQ(job.result, JOB_SOURCE_ERROR);
        std::string passed;
        for (int k = 1; k < c.damaged; ++k) {
            passed += pieces[static_cast<std::size_t>(k - 1)];
        }
        const std::string output = ReadWholeFile(dir / "out/a.bin");
        EXPECT_TRUE(output == passed) << output.size() << " bytes, not the " << passed.size()
                                      << " of the pieces before the damaged one";
        // Every piece deleted is in the output.
        for (int k = 1; k <= 12; ++k) {
            EXPECT_TRUE(k < c.damaged || Exists(dir / ("in/" + std::to_string(k) + "__a.bin")));
        }
    }
}

}  // namespace
