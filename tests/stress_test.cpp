// Random sequences of the user's commands against running jobs: no hang, and every job's
// notifications keep their guarantees.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <future>
#include <memory>
#include <random>
#include <thread>

#include "engine/job_controller.h"
#include "tests/support/job_outcome.h"
#include "tests/support/test_files.h"

namespace {

using namespace std::chrono_literals;

int Iterations() {
    if (const char* text = std::getenv("SECANTO_STRESS_ITERATIONS")) {
        return std::atoi(text);
    }
#ifdef _WIN32
    return 250;  // every thread start is slow under Wine
#else
    return 5000;
#endif
}

// Runs `step` on another thread; a step that does not end by the deadline is a hang, and
// ends the whole test program rather than the CI run.
void WithDeadline(const char* what, std::chrono::seconds deadline, std::function<void()> step) {
    auto done = std::async(std::launch::async, std::move(step));
    if (done.wait_for(deadline) != std::future_status::ready) {
        std::fprintf(stderr, "hang: %s did not return within %lld s\n", what,
                     static_cast<long long>(deadline.count()));
        std::fflush(stderr);
        std::abort();
    }
    done.get();
}

TEST(Stress, RandomCommandSequences) {
    TempFolder dir;
    WriteWholeFile(dir / "src.bin", Pattern(24 * 4096 + 17));
    {
        JobReceiver receiver;
        CJobController controller(receiver.Target());
        ASSERT_TRUE(
            controller.StartSplit((dir / "pieces").c_str(), (dir / "src.bin").c_str(), 4096));
        ASSERT_EQ(CollectJob(receiver).result, JOB_OK);
    }
    std::mt19937 random(20261207);
    const int iterations = Iterations();
    for (int i = 0; i < iterations; ++i) {
        JobReceiver receiver;
        auto controller = std::make_unique<CJobController>(receiver.Target());
        int accepted = 0;
        const int steps = 1 + static_cast<int>(random() % 10);
        for (int s = 0; s < steps; ++s) {
            switch (random() % 6) {
                case 0:
                    accepted +=
                        controller->StartSplit((dir / "out").c_str(), (dir / "src.bin").c_str(),
                                               4096 * (1 + random() % 4));
                    break;
                case 1:
                    accepted +=
                        controller->StartJoin((dir / "joined").c_str(), (dir / "pieces").c_str());
                    break;
                case 2:
                    controller->Pause();
                    break;
                case 3:
                    controller->Resume();
                    break;
                case 4:
                    controller->Abort();
                    break;
                default:
                    std::this_thread::sleep_for(std::chrono::microseconds(random() % 400));
            }
        }
        const bool teardownDuringJob = random() % 2 == 0;
        CJobController* c = controller.get();
        if (!teardownDuringJob) {
            WithDeadline("the last job", 60s, [c] {
                c->Resume();
                while (c->m_bBusy) {
                    std::this_thread::sleep_for(100us);
                }
            });
        }
        WithDeadline("teardown", 60s, [&controller] { controller.reset(); });

        int dones = 0;
        for (;;) {
            JobOutcome job = CollectJob(receiver, 1ms);
            ASSERT_EQ(job.broken, "") << "iteration " << i;
            if (!job.hasDone) {
                // Only a job stopped by teardown may end without a result.
                EXPECT_TRUE(job.progress.empty() || teardownDuringJob) << "iteration " << i;
                break;
            }
            ++dones;
        }
        if (teardownDuringJob) {
            EXPECT_TRUE(dones == accepted || dones == accepted - 1)
                << "iteration " << i << ": " << dones << " results for " << accepted << " jobs";
        } else {
            EXPECT_EQ(dones, accepted) << "iteration " << i;
        }
    }
}

}  // namespace
