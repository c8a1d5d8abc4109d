// Jobs with delete-after-use killed with SIGKILL at random moments, each run in a process of
// its own (tests/tools/secanto_job). After every kill the user's data must be whole: for a
// split, the source, or else a complete set of pieces; for a join, the joined file's first
// bytes followed by the pieces left, from which the same join then goes on to the original. A
// killed process loses nothing that reached the page cache, so this proves the order of the jobs'
// steps, not what survives a power cut.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "engine/job_paths.h"
#include "tests/support/test_files.h"

namespace {

constexpr int kRuns = 120;

// A random start value, printed so that a failing series can be run again with
// SECANTO_CRASH_START set to it.
unsigned StartValue() {
    const char* given = std::getenv("SECANTO_CRASH_START");
    const unsigned value = given != nullptr
                               ? static_cast<unsigned>(std::strtoul(given, nullptr, 10))
                               : std::random_device()();
    std::cout << "start value " << value << std::endl;
    return value;
}

pid_t StartJob(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    std::string program = SECANTO_JOB_PATH;
    argv.push_back(program.data());
    std::vector<std::string> copies(args);
    for (std::string& arg : copies) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        if (null < 0 || dup2(null, STDOUT_FILENO) < 0) {
            _exit(127);
        }
        execv(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

// How one run ended: the job had finished before the kill, or was killed.
enum class Ending { kFinished, kKilled };

// Runs the job and kills it after `delay`, unless it has ended by then.
Ending RunAndKill(const std::vector<std::string>& args, std::chrono::microseconds delay) {
    const pid_t pid = StartJob(args);
    EXPECT_GT(pid, 0);
    std::this_thread::sleep_for(delay);
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) {
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
        return Ending::kFinished;
    }
    kill(pid, SIGKILL);
    EXPECT_EQ(waitpid(pid, &status, 0), pid);
    // The job may have ended between the test and the kill.
    if (WIFEXITED(status)) {
        EXPECT_EQ(WEXITSTATUS(status), 0);
        return Ending::kFinished;
    }
    return Ending::kKilled;
}

// Runs the job to its end; its exit status, or -1 when it did not exit.
int RunToEnd(const std::vector<std::string>& args) {
    const pid_t pid = StartJob(args);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Time of one whole run, to spread the kills over it.
std::chrono::microseconds TimeOneRun(const std::vector<std::string>& args) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = StartJob(args);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                                 start);
}

struct Sample {
    std::string content;
    std::uint32_t pieceSize;
};

// 1 to 4 MiB in pieces of 4 KiB to 256 KiB, so that kills land in many pieces.
Sample RandomSample(std::mt19937& random, unsigned salt) {
    const std::size_t length = std::uniform_int_distribution<std::size_t>(1 << 20, 4 << 20)(random);
    const std::uint32_t blocks = std::uniform_int_distribution<std::uint32_t>(1, 64)(random);
    return {Pattern(length, salt), blocks * 4096u};
}

// Pieces 1, 2, … of `name` in `folder`, up to the first number missing.
std::vector<std::string> PiecesFrom(const std::string& folder, const std::string& name, int first) {
    std::vector<std::string> pieces;
    for (int n = first; Exists(folder + PieceName(n, name)); ++n) {
        pieces.push_back(ReadWholeFile(folder + PieceName(n, name)));
    }
    return pieces;
}

std::string Joined(const std::vector<std::string>& parts) {
    std::string all;
    for (const std::string& part : parts) {
        all += part;
    }
    return all;
}

// A kill moment spread over a whole run of `length` bytes, from the last measured run.
std::chrono::microseconds KillDelay(std::mt19937& random,
                                    std::chrono::microseconds measured,
                                    std::size_t measuredLength,
                                    std::size_t length) {
    const double whole = static_cast<double>(measured.count()) * static_cast<double>(length) /
                         static_cast<double>(measuredLength);
    return std::chrono::microseconds(
        static_cast<long>(std::uniform_real_distribution<double>(0, whole * 1.1)(random)));
}

void Report(const char* what, int killed, int finished) {
    std::cout << what << ": " << kRuns << " runs, " << killed << " killed during the job, "
              << finished << " finished before the kill\n";
}

TEST(CrashSafety, SplitWithDeleteAfterUseKilledAtRandomKeepsTheSourceOrAllPieces) {
    std::mt19937 random(StartValue());
    TempFolder folder;
    const std::string source = folder / "src/a.bin";
    const std::string pieces = folder / "pieces/";
    int killed = 0;
    int finished = 0;
    std::chrono::microseconds span(0);
    std::size_t spanLength = 1;
    for (int run = 0; run < kRuns; ++run) {
        RemoveTree(folder / "src");
        RemoveTree(folder / "pieces");
        MakeFolder(folder / "src");
        const Sample r = RandomSample(random, static_cast<unsigned>(run));
        WriteWholeFile(source, r.content);
        const std::vector<std::string> args = {"split", pieces, source, std::to_string(r.pieceSize),
                                               "--delete"};
        if (run % 20 == 0) {
            // A whole run is timed now and then; the kills are spread over it by length.
            span = TimeOneRun(args);
            spanLength = r.content.size();
            RemoveTree(folder / "pieces");
            WriteWholeFile(source, r.content);
        }
        const auto delay = KillDelay(random, span, spanLength, r.content.size());

        (RunAndKill(args, delay) == Ending::kKilled ? killed : finished)++;

        if (Exists(source)) {
            ASSERT_EQ(ReadWholeFile(source), r.content) << "run " << run << ": the source changed";
        } else {
            // Compared whole, since the bytes would flood the report.
            const std::vector<std::string> found = PiecesFrom(pieces, "a.bin", 1);
            const std::vector<std::string> expected = ExpectedPieces(r.content, r.pieceSize);
            ASSERT_EQ(found.size(), expected.size())
                << "run " << run << ": the source is gone without a complete set of pieces";
            ASSERT_TRUE(found == expected) << "run " << run << ": the source is gone and the "
                                           << "pieces do not hold its bytes";
        }
    }
    Report("split", killed, finished);
    EXPECT_GT(killed, kRuns / 2) << "most kills should land during the job";
}

TEST(CrashSafety, JoinWithDeleteAfterUseKilledAtRandomLeavesTheOriginalRecoverable) {
    std::mt19937 random(StartValue());
    TempFolder folder;
    const std::string pieces = folder / "pieces/";
    const std::string output = folder / "out/a.bin";
    int killed = 0;
    int finished = 0;
    std::chrono::microseconds span(0);
    std::size_t spanLength = 1;
    for (int run = 0; run < kRuns; ++run) {
        const Sample r = RandomSample(random, static_cast<unsigned>(run));
        const std::vector<std::string> expected = ExpectedPieces(r.content, r.pieceSize);
        auto makePieces = [&] {
            RemoveTree(folder / "pieces");
            RemoveTree(folder / "out");
            MakeFolder(folder / "pieces");
            for (std::size_t i = 0; i < expected.size(); ++i) {
                WriteWholeFile(pieces + PieceName(static_cast<int>(i) + 1, "a.bin"), expected[i]);
            }
        };
        const std::vector<std::string> args = {"join", folder / "out", pieces, "--delete"};
        makePieces();
        if (run % 20 == 0) {
            span = TimeOneRun(args);
            spanLength = r.content.size();
            makePieces();
        }
        const auto delay = KillDelay(random, span, spanLength, r.content.size());

        (RunAndKill(args, delay) == Ending::kKilled ? killed : finished)++;

        // The pieces left must be a run up to the last one; the joined file must hold at
        // least the bytes of the pieces that are gone, and those bytes first.
        int first = 1;
        while (first <= static_cast<int>(expected.size()) &&
               !Exists(pieces + PieceName(first, "a.bin"))) {
            ++first;
        }
        const std::vector<std::string> left = PiecesFrom(pieces, "a.bin", first);
        ASSERT_EQ(first + static_cast<int>(left.size()) - 1, static_cast<int>(expected.size()))
            << "run " << run << ": a piece is missing after piece " << first;
        const std::string rest = Joined(left);
        const std::string joined = Exists(output) ? ReadWholeFile(output) : std::string();
        ASSERT_GE(joined.size(), r.content.size() - rest.size())
            << "run " << run << ": deleted pieces are not in the joined file";
        ASSERT_TRUE(joined.substr(0, r.content.size() - rest.size()) + rest == r.content)
            << "run " << run << ": the joined file and the pieces left do not give the original";

        if (left.empty()) {
            continue;  // the join had finished
        }
        // The same join goes on from there (or starts again, when no piece was deleted).
        std::vector<std::string> again = args;
        if (first > 1) {
            again.push_back("--continue");
        }
        const int status = RunToEnd(again);
        if (status == 2 && first == static_cast<int>(expected.size()) && joined == r.content) {
            // Only the last piece left, and a joined file that may or may not hold it already:
            // the join refuses to guess. The file is whole.
            continue;
        }
        ASSERT_EQ(status, 0) << "run " << run << ": the join did not go on from piece " << first;
        ASSERT_TRUE(ReadWholeFile(output) == r.content) << "run " << run << ": gone on wrong";
        ASSERT_TRUE(PiecesFrom(pieces, "a.bin", first).empty()) << "run " << run;
    }
    Report("join", killed, finished);
    EXPECT_GT(killed, kRuns / 2) << "most kills should land during the job";
}

}  // namespace
