// One job's notifications as the receiver saw them, checked against the guarantees every
// job keeps: a rebuild's progress only before its range, at most one range before any progress,
// progress 1, 2, 3 … without gaps (for a join that goes on, from the pieces it had), and a closing
// WM_JOB_DONE that counts them.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/job_controller.h"
#include "tests/support/job_receiver.h"

struct JobOutcome {
    bool hasRange = false;
    std::uint64_t range = 0;
    std::intptr_t rangeKind = -1;        // 1 split, 0 join
    std::vector<std::intptr_t> rebuild;  // thousandths of a rebuild before the join
    std::vector<std::intptr_t> progress;
    bool hasDone = false;
    unsigned result = ~0u;
    std::intptr_t done = -1;  // pieces finished, from WM_JOB_DONE
    std::string broken;       // the first guarantee broken, empty when all held
};

// Collects notifications up to and including WM_JOB_DONE, or until `timeout` passes with
// nothing new. Progress counts from `after` (a join that goes on reports from the pieces
// it had already); -1 takes the first count as it comes.
JobOutcome CollectJob(JobReceiver& receiver,
                      std::chrono::milliseconds timeout = std::chrono::seconds(60),
                      std::intptr_t after = 0);

// The notifications that arrive within `quiet`; for checking that nothing is posted.
std::vector<JobMessage> Drain(JobReceiver& receiver,
                              std::chrono::milliseconds quiet = std::chrono::milliseconds(200));

// Waits until the controller has reset its slot after a job. WM_JOB_DONE is posted just
// before that, so a start right after it can still be refused.
void WaitUntilIdle(const CJobController& controller);
