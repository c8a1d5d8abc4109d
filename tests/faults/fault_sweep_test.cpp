// Fault sweeps: for N = 1, 2, … the Nth file operation of a split or a join fails (only
// that one, or that one and every later one) until a run no longer reaches N. Every run
// must end with one result that fits the first failure that mattered, leave no file open,
// and keep the user's data: the source of a split whole, or every piece of a join either
// still there or flushed into the output before it went.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "engine/block_copy.h"
#include "engine/job_controller.h"
#include "engine/job_paths.h"
#include "platform/sha256.h"
#include "folder/join_verifier.h"
#include "folder/split_upkeep.h"
#include "tests/faults/fault_injector.h"
#include "tests/support/job_outcome.h"
#include "tests/support/test_files.h"

#ifndef _WIN32
#include <dirent.h>
#endif

namespace {

using faults::Op;
using faults::Persistence;

// Sizes that make every file take several reads or writes of the jobs' file buffers,
// whatever their size, so the faults also land in the middle of files.
using platform::kFileBufferSize;
const std::uint32_t kPieceSize = static_cast<std::uint32_t>(kFileBufferSize / 2 * 3);
const std::size_t kSourceLength = 2 * kFileBufferSize + 1234;
const std::vector<std::size_t> kPieceLengths = {kFileBufferSize + 100, kFileBufferSize + 100, 0};

// No sweep of these inputs comes near this; reaching it means the job never ends.
constexpr long kMaxRuns = 1000;

enum class Job { kSplit, kJoin };

struct Scenario {
    Job job;
    bool deleteAfterUse;
    Persistence persistence;
    // As the command line runs it: a split writing SHA256SUMS, a join staged and checked
    // against it.
    bool withSums = false;
};

std::string Describe(const Scenario& s) {
    return std::string(s.job == Job::kSplit ? "Split" : "Join") + (s.withSums ? "WithSums" : "") +
           (s.deleteAfterUse ? "Deleting" : "Keeping") +
           (s.persistence == Persistence::kPersistent ? "Persistent" : "Transient");
}

void PrintTo(const Scenario& s, std::ostream* os) {
    *os << Describe(s);
}

// The descriptors of this process (natively); handles are counted by the injector alone.
std::vector<std::string> OpenDescriptors() {
    std::vector<std::string> names;
#ifndef _WIN32
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (dirent* entry = readdir(dir)) {
            if (entry->d_name[0] != '.' && std::to_string(dirfd(dir)) != entry->d_name) {
                names.push_back(entry->d_name);
            }
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
#endif
    return names;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

std::string Describe(const faults::Record& record) {
    std::ostringstream text;
    text << record.operations << " operations; failed:";
    const std::size_t shown = std::min<std::size_t>(record.injected.size(), 4);
    for (std::size_t i = 0; i < shown; ++i) {
        text << " " << faults::OpName(record.injected[i].op) << " " << record.injected[i].path
             << ";";
    }
    if (shown < record.injected.size()) {
        text << " and " << record.injected.size() - shown << " more";
    }
    return text.str();
}

class FaultSweep : public ::testing::TestWithParam<Scenario> {
protected:
    FaultSweep() {
        controller.m_bDeleteSource = GetParam().deleteAfterUse;
        // A second passes at every look of the job's clock: every piece is a batch of its
        // own, deleted while the next ones are joined, so faults land in that overlap too.
        controller.SetClock([this] {
            return std::chrono::steady_clock::time_point(std::chrono::seconds(++m_seconds));
        });
    }

    // Sweeps N upwards until a run no longer reaches the fault; returns the runs made.
    long Sweep() {
        for (long n = 1; n <= kMaxRuns; ++n) {
            SCOPED_TRACE("failing operation " + std::to_string(n));
            const bool reached = RunOnce(n);
            if (::testing::Test::HasFailure() || !reached) {
                return n;
            }
        }
        ADD_FAILURE() << "every run reached the fault";
        return kMaxRuns;
    }

    bool RunOnce(long failAt) {
        TempFolder dir;
        const std::string in = Normal(dir / "in");
        const std::string out = Normal(dir / "out/deep");
        MakeFolder(in);
        std::vector<std::string> pieces;
        std::string whole;
        if (GetParam().job == Job::kSplit) {
            whole = Pattern(kSourceLength, 7);
            WriteWholeFile(dir / "in/src.bin", whole);
            pieces = ExpectedPieces(whole, kPieceSize);
        } else {
            for (std::size_t k = 0; k < kPieceLengths.size(); ++k) {
                pieces.push_back(Pattern(kPieceLengths[k], static_cast<unsigned>(k + 1)));
                whole += pieces.back();
                WriteWholeFile(dir / ("in/" + PieceName(static_cast<int>(k + 1), "a.bin")),
                               pieces.back());
            }
        }

        const bool withSums = GetParam().withSums;
        folder::SplitUpkeep writer(true, folder::RecoveryAmount(), recovery::KeepGoing());
        folder::JoinVerifier verifier;
        sums::JoinChecker& checker = verifier.Checker();
        JoinOptions options;
        std::string reason;
        if (withSums && GetParam().job == Job::kSplit) {
            EXPECT_TRUE(writer.Start(&reason)) << reason;
            controller.SetObserver(&writer);
        } else if (withSums) {
            std::string list;
            platform::Sha256 sha;
            for (std::size_t k = 0; k < pieces.size(); ++k) {
                std::string digest;
                EXPECT_TRUE(sha.Update(pieces[k].data(), pieces[k].size()) && sha.Finish(&digest));
                list += digest + "  " + PieceName(static_cast<int>(k + 1), "a.bin") + "\n";
            }
            WriteWholeFile(dir / "in/SHA256SUMS", list);
            checker.ReadList(in);
            EXPECT_TRUE(checker.Start(&reason)) << reason;
            controller.SetObserver(&verifier);
            options.staged = true;
        }

        const std::vector<std::string> before = OpenDescriptors();
        faults::Arm(failAt, GetParam().persistence);
        const bool started =
            GetParam().job == Job::kSplit
                ? controller.StartSplit(out.c_str(), (dir / "in/src.bin").c_str(), kPieceSize)
                : controller.StartJoin(out.c_str(), in.c_str(), options);
        const JobOutcome job = CollectJob(receiver, std::chrono::seconds(30));
        if (!job.hasDone) {
            // The worker is stuck: the controller could be neither reused nor torn down.
            std::fprintf(stderr, "hang: no WM_JOB_DONE with operation %ld failing\n", failAt);
            std::abort();
        }
        WaitUntilIdle(controller);
        const faults::Record record = faults::Disarm();
        controller.SetObserver(nullptr);
        SCOPED_TRACE(Describe(record));

        EXPECT_TRUE(started);
        EXPECT_EQ(job.broken, "");
        EXPECT_TRUE(Drain(receiver, std::chrono::milliseconds(0)).empty())
            << "notifications after WM_JOB_DONE";
        EXPECT_EQ(record.stillOpen, std::vector<std::string>()) << "left open by the job";
        EXPECT_EQ(OpenDescriptors(), before) << "descriptors left open";
        // A deletion that fails, however it fails, leaves the file and ends the job as a
        // success that says what was not deleted.
        if (!(job.result == JOB_OK && !controller.LastReport().notDeleted.empty())) {
            ExpectResultFits(job, record, in);
        }
        if (GetParam().job == Job::kSplit) {
            CheckSplit(job, record, dir / "in/src.bin", out, whole, pieces);
        } else {
            CheckJoin(job, record, in, out, whole, pieces);
        }
        return record.reached;
    }

    // The result follows from the first failure the job may not ignore: deleting, making a
    // folder and closing a file that was only read can fail without harm to any data, a
    // failed copy inside the system goes on through the buffers, and opening a piece past
    // the last one, which does not exist, would fail anyway.
    void ExpectResultFits(const JobOutcome& job,
                          const faults::Record& record,
                          const std::string& in) {
        const std::string pastTheLast = PiecePath(in, kPieceLengths.size() + 1, "a.bin");
        bool folderFailed = false;
        for (const faults::Injected& i : record.injected) {
            if (i.op == Op::kCreateFolder) {
                folderFailed = true;
            }
            if (i.op == Op::kDelete || i.op == Op::kCreateFolder || i.op == Op::kCopy ||
                (i.op == Op::kClose && i.readOnly) ||
                (i.op == Op::kOpen && i.path == pastTheLast)) {
                continue;
            }
            // Everything outside the source folder belongs to the target: the pieces or the
            // output, and the folders that hold them.
            EXPECT_EQ(job.result, StartsWith(i.path, in) ? JOB_SOURCE_ERROR : JOB_TARGET_ERROR)
                << "after " << faults::OpName(i.op) << " of " << i.path;
            return;
        }
        // A folder that could not be made shows when the first piece cannot be created.
        if (!(folderFailed && job.result == JOB_TARGET_ERROR)) {
            EXPECT_EQ(job.result, JOB_OK);
        }
    }

    void CheckSplit(const JobOutcome& job,
                    const faults::Record& record,
                    const std::string& source,
                    const std::string& out,
                    const std::string& whole,
                    const std::vector<std::string>& pieces) {
        ASSERT_LE(job.done, static_cast<std::intptr_t>(pieces.size()));
        // A piece reported finished is whole, whatever came after it.
        for (std::intptr_t k = 1; k <= job.done; ++k) {
            EXPECT_EQ(ReadWholeFile(PiecePath(out, k, "src.bin")), pieces[k - 1]) << "piece " << k;
        }
        if (job.result == JOB_OK) {
            EXPECT_EQ(job.done, static_cast<std::intptr_t>(pieces.size()));
        }
        if (Exists(source)) {
            EXPECT_EQ(ReadWholeFile(source), whole) << "the source changed";
            return;
        }
        EXPECT_TRUE(job.result == JOB_OK && GetParam().deleteAfterUse)
            << "source gone after result " << job.result;
        const faults::Deletion* deletion = FindDeletion(record, source);
        ASSERT_NE(deletion, nullptr);
        ExpectFoldersFlushed(*deletion);
        for (std::size_t k = 1; k <= pieces.size(); ++k) {
            const auto piece = deletion->written.find(PiecePath(out, k, "src.bin"));
            ASSERT_NE(piece, deletion->written.end()) << "piece " << k << " never written";
            EXPECT_FALSE(piece->second.dirty) << "piece " << k << " not flushed";
            EXPECT_EQ(piece->second.flushedSize, pieces[k - 1].size()) << "piece " << k;
        }
    }

    void CheckJoin(const JobOutcome& job,
                   const faults::Record& record,
                   const std::string& in,
                   const std::string& out,
                   const std::string& whole,
                   const std::vector<std::string>& pieces) {
        const std::string output = out + SeparatorOf(out) + "a.bin";
        // A staged output holds the pieces deleted until it takes the output's name.
        const std::string staged = out + SeparatorOf(out) + StagingName("a.bin");
        const std::string holder = Exists(output) ? output : staged;
        if (job.result == JOB_OK) {
            EXPECT_EQ(job.done, static_cast<std::intptr_t>(pieces.size()));
            EXPECT_EQ(ReadWholeFile(output), whole) << "the joined file differs";
        }
        std::size_t end = 0;
        std::string left;  // the pieces still there, end to end
        for (std::size_t k = 1; k <= pieces.size(); ++k) {
            const std::size_t begin = end;
            end += pieces[k - 1].size();
            const std::string piece = PiecePath(in, k, "a.bin");
            if (Exists(piece)) {
                EXPECT_EQ(ReadWholeFile(piece), pieces[k - 1]) << "piece " << k << " changed";
                left += pieces[k - 1];
                continue;
            }
            SCOPED_TRACE("piece " + std::to_string(k) + " deleted");
            EXPECT_TRUE(GetParam().deleteAfterUse);
            EXPECT_LE(static_cast<std::intptr_t>(k), job.done) << "deleted but not reported";
            const faults::Deletion* deletion = FindDeletion(record, piece);
            ASSERT_NE(deletion, nullptr);
            ExpectFoldersFlushed(*deletion);
            auto state = deletion->written.find(output);
            if (state == deletion->written.end()) {
                state = deletion->written.find(staged);
            }
            ASSERT_NE(state, deletion->written.end()) << "output never written";
            // Later pieces may be on their way still: the output must be durable past this
            // piece's bytes, not whole.
            EXPECT_GE(state->second.flushedSize, end) << "its bytes were not flushed";
            EXPECT_EQ(ReadWholeFile(holder).substr(begin, end - begin), pieces[k - 1]);
        }
        // Once pieces go, a failed join leaves a file that the pieces left complete exactly,
        // unless it failed only after every piece was in it.
        if (GetParam().deleteAfterUse && job.result != JOB_OK && left != whole) {
            const std::string joined = ReadWholeFile(holder);
            EXPECT_TRUE(joined + left == whole || joined == whole)
                << "the joined file and the pieces left do not give the original";
        }
    }

    static void ExpectFoldersFlushed(const faults::Deletion& deletion) {
        EXPECT_EQ(deletion.unflushedFolders, std::vector<std::string>())
            << "folders with new entries not flushed before deleting " << deletion.path;
    }

    static const faults::Deletion* FindDeletion(const faults::Record& record,
                                                const std::string& path) {
        for (const faults::Deletion& d : record.deletions) {
            if (d.succeeded && d.path == path) {
                return &d;
            }
        }
        return nullptr;
    }

    static char SeparatorOf(const std::string& path) {
        return path.find('\\') != std::string::npos ? '\\' : '/';
    }
    static std::string PiecePath(const std::string& folder,
                                 std::size_t k,
                                 const std::string& name) {
        return folder + SeparatorOf(folder) + PieceName(static_cast<int>(k), name);
    }
    static std::string Normal(const std::string& path) { return faults::Normal(path); }

    std::atomic<int> m_seconds{0};
    JobReceiver receiver;
    CJobController controller{receiver.Target()};
};

TEST_P(FaultSweep, EveryFailureEndsWithOneResultAndNoLostData) {
    const long runs = Sweep();
    // The figure for the record: how many fault points this sweep covered.
    RecordProperty("runs", static_cast<int>(runs));
    std::printf("%s: %ld runs\n", Describe(GetParam()).c_str(), runs);
}

TEST(KernelCopy, AnEndTheSystemReportsEarlyIsCheckedByReading) {
    // Some kernels and file systems end a copy inside the system early, with 0 bytes:
    // neither a piece nor the joined file may come out short for it.
    TempFolder dir;
    JobReceiver receiver;
    CJobController controller(receiver.Target());
    const std::string whole = Pattern(kSourceLength, 3);
    WriteWholeFile(dir / "src.bin", whole);
    faults::CopiesEndEarly(true);
    faults::Arm(0, Persistence::kTransient);
    ASSERT_TRUE(controller.StartSplit((dir / "p").c_str(), (dir / "src.bin").c_str(), kPieceSize));
    const JobOutcome split = CollectJob(receiver);
    WaitUntilIdle(controller);
    ASSERT_TRUE(controller.StartJoin((dir / "j").c_str(), (dir / "p").c_str()));
    const JobOutcome join = CollectJob(receiver);
    faults::Disarm();
    faults::CopiesEndEarly(false);
    EXPECT_EQ(split.result, JOB_OK);
    EXPECT_EQ(join.result, JOB_OK);
    const std::vector<std::string> pieces = ExpectedPieces(whole, kPieceSize);
    for (std::size_t k = 1; k <= pieces.size(); ++k) {
        EXPECT_EQ(ReadWholeFile(dir / ("p/" + PieceName(static_cast<int>(k), "src.bin"))),
                  pieces[k - 1]);
    }
    EXPECT_EQ(ReadWholeFile(dir / "j/src.bin"), whole);
}

std::vector<Scenario> AllScenarios() {
    std::vector<Scenario> all;
    for (Job job : {Job::kSplit, Job::kJoin}) {
        for (bool deleting : {false, true}) {
            for (Persistence p : {Persistence::kTransient, Persistence::kPersistent}) {
                all.push_back({job, deleting, p});
            }
        }
        for (Persistence p : {Persistence::kTransient, Persistence::kPersistent}) {
            all.push_back({job, true, p, true});
        }
    }
    return all;
}

INSTANTIATE_TEST_SUITE_P(,
                         FaultSweep,
                         ::testing::ValuesIn(AllScenarios()),
                         [](const ::testing::TestParamInfo<Scenario>& info) {
                             return Describe(info.param);
                         });

}  // namespace
