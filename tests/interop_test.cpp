// The piece format against tools nobody here wrote: coreutils cat and split.
#include <gtest/gtest.h>

#include <cstdlib>

#include "engine/job_controller.h"
#include "tests/support/job_outcome.h"
#include "tests/support/test_files.h"

#ifndef _WIN32

namespace {

int Shell(const std::string& command) {
    return std::system(command.c_str());
}

TEST(Interop, CatOfThePiecesInNumberOrderIsTheSource) {
    TempFolder dir;
    const std::string content = Pattern(11 * 8192 + 300);
    WriteWholeFile(dir / "data.bin", content);
    JobReceiver receiver;
    CJobController controller(receiver.Target());
    ASSERT_TRUE(controller.StartSplit((dir / "p").c_str(), (dir / "data.bin").c_str(), 8192));
    JobOutcome job = CollectJob(receiver);
    ASSERT_EQ(job.result, JOB_OK);
    // 12 pieces: a shell glob would put 10__ before 2__, so list them in number order.
    std::string command = "cd '" + (dir / "p") + "' && cat";
    for (std::intptr_t k = 1; k <= job.done; ++k) {
        command += " " + std::to_string(k) + "__data.bin";
    }
    command += " > '" + (dir / "cat.bin") + "'";
    ASSERT_EQ(Shell(command), 0);
    EXPECT_EQ(ReadWholeFile(dir / "cat.bin"), content);
}

TEST(Interop, PiecesOfCoreutilsSplitJoinToTheOriginal) {
    TempFolder dir;
    const std::string content = Pattern(5 * 65536 + 77);
    MakeFolder(dir / "p");
    WriteWholeFile(dir / "orig.bin", content);
    // split -b writes xaa, xab, …; renamed in that order they become 1__, 2__, …
    ASSERT_EQ(Shell("cd '" + (dir / "p") +
                    "' && split -b 65536 ../orig.bin && n=0 && "
                    "for f in $(ls x* | sort); do n=$((n+1)); mv \"$f\" \"${n}__movie.mkv\"; done"),
              0);
    ASSERT_EQ(ListNames(dir / "p").size(), 6u);
    JobReceiver receiver;
    CJobController controller(receiver.Target());
    ASSERT_TRUE(controller.StartJoin((dir / "j").c_str(), (dir / "p").c_str()));
    JobOutcome job = CollectJob(receiver);
    EXPECT_EQ(job.result, JOB_OK);
    EXPECT_EQ(job.done, 6);
    EXPECT_EQ(ReadWholeFile(dir / "j/movie.mkv"), content);
}

}  // namespace

#endif
