// Runs one job through CJobController from the command line, so that scripts can watch a
// real job from outside (system-call traces, injected faults, a killed process).
//
//   secanto_job split TARGET SOURCE SIZE [--delete] [--time]
//   secanto_job join TARGET SOURCE [--delete] [--continue] [--quick-batches] [--sums] [--time]
//
// --sums checks the pieces against the SHA256SUMS in SOURCE, as the dialog's join does.
// --quick-batches runs the job's clock a second on at every look, so that with --delete
// every piece is a batch of its own, deleted while the next ones are joined.
// Prints "result R pieces K" from WM_JOB_DONE and exits with R (0 to 3); 64 for a wrong
// command line, 65 when no result came, 66 when the notifications broke their guarantees.
// With --time it adds " seconds S", from the start command to WM_JOB_DONE taken, so that a
// benchmark can leave the process's start-up out.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/job_controller.h"
#include "folder/join_verifier.h"
#include "tests/support/job_outcome.h"
#include "tests/support/job_receiver.h"

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: secanto_job split TARGET SOURCE SIZE [--delete] [--time]\n"
                 "       secanto_job join TARGET SOURCE [--delete] [--continue] [--quick-batches] "
                 "[--sums] [--time]\n");
    return 64;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        return Usage();
    }
    const std::string mode = argv[1];
    const bool split = mode == "split";
    if (!split && mode != "join") {
        return Usage();
    }
    int next = 4;
    unsigned long size = 0;
    if (split) {
        if (argc < 5) {
            return Usage();
        }
        char* end = nullptr;
        size = std::strtoul(argv[next++], &end, 10);
        if (*end != '\0' || size == 0 || size > 0xFFFFFFFFul) {
            return Usage();
        }
    }
    bool deleteAfterUse = false;
    bool timed = false;
    bool quickBatches = false;
    bool checkSums = false;
    JoinOptions options;
    for (; next < argc; ++next) {
        if (std::strcmp(argv[next], "--delete") == 0) {
            deleteAfterUse = true;
        } else if (!split && std::strcmp(argv[next], "--continue") == 0) {
            options.continueOutput = true;
        } else if (!split && std::strcmp(argv[next], "--quick-batches") == 0) {
            quickBatches = true;
        } else if (!split && std::strcmp(argv[next], "--sums") == 0) {
            checkSums = true;
        } else if (std::strcmp(argv[next], "--time") == 0) {
            timed = true;
        } else {
            return Usage();
        }
    }

    folder::JoinVerifier verifier;  // outlives the controller's worker
    sums::JoinChecker& checker = verifier.Checker();
    if (checkSums) {
        checker.ReadList(argv[3]);
        std::string reason;
        if (!checker.Start(&reason)) {
            std::fprintf(stderr, "secanto_job: cannot check the pieces: %s\n", reason.c_str());
            return 65;
        }
    }
    JobReceiver receiver;
    CJobController controller(receiver.Target());
    if (checkSums) {
        controller.SetObserver(&verifier);
    }
    controller.m_bDeleteSource = deleteAfterUse;
    if (quickBatches) {
        controller.SetClock([] {
            static std::atomic<int> seconds{0};
            return std::chrono::steady_clock::time_point(std::chrono::seconds(++seconds));
        });
    }
    const auto start = std::chrono::steady_clock::now();
    const bool started =
        split ? controller.StartSplit(argv[2], argv[3], static_cast<std::uint32_t>(size))
              : controller.StartJoin(argv[2], argv[3], options);
    if (!started) {
        std::fprintf(stderr, "secanto_job: the job was refused\n");
        return 65;
    }
    const JobOutcome job =
        CollectJob(receiver, std::chrono::minutes(10), options.continueOutput ? -1 : 0);
    if (!job.hasDone) {
        std::fprintf(stderr, "secanto_job: no result came\n");
        return 65;
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::printf("result %u pieces %ld", job.result, static_cast<long>(job.done));
    if (timed) {
        std::printf(" seconds %.6f", took.count());
    }
    std::printf("\n");
    std::fflush(stdout);
    if (!job.broken.empty()) {
        std::fprintf(stderr, "secanto_job: %s\n", job.broken.c_str());
        return 66;
    }
    return static_cast<int>(job.result);
}
