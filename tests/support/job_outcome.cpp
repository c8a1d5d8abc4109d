#include "tests/support/job_outcome.h"

#include <thread>

#include "engine/job_notifications.h"

namespace {

void Break(JobOutcome* outcome, const std::string& what) {
    if (outcome->broken.empty()) {
        outcome->broken = what;
    }
}

}  // namespace

JobOutcome CollectJob(JobReceiver& receiver,
                      std::chrono::milliseconds timeout,
                      std::intptr_t after) {
    JobOutcome outcome;
    bool anyStart = after < 0;
    std::intptr_t base = anyStart ? 0 : after;
    JobMessage message;
    while (receiver.Next(&message, timeout)) {
        switch (message.message) {
            case WM_JOB_RANGE:
                if (outcome.hasRange) {
                    Break(&outcome, "second WM_JOB_RANGE");
                }
                if (!outcome.progress.empty()) {
                    Break(&outcome, "WM_JOB_RANGE after WM_JOB_PROGRESS");
                }
                outcome.hasRange = true;
                outcome.range = message.wParam;
                outcome.rangeKind = message.lParam;
                break;
            case WM_JOB_REBUILD:
                if (outcome.hasRange) {
                    Break(&outcome, "WM_JOB_REBUILD after WM_JOB_RANGE");
                }
                outcome.rebuild.push_back(message.lParam);
                break;
            case WM_JOB_PROGRESS:
                if (message.wParam != 0) {
                    Break(&outcome,
                          "WM_JOB_PROGRESS with wParam " + std::to_string(message.wParam));
                }
                if (anyStart && outcome.progress.empty() && message.lParam > 0) {
                    base = message.lParam - 1;
                }
                if (message.lParam !=
                    base + static_cast<std::intptr_t>(outcome.progress.size()) + 1) {
                    Break(&outcome,
                          "WM_JOB_PROGRESS " + std::to_string(message.lParam) + " after " +
                              std::to_string(base +
                                             static_cast<std::intptr_t>(outcome.progress.size())));
                }
                outcome.progress.push_back(message.lParam);
                break;
            case WM_JOB_DONE:
                outcome.hasDone = true;
                outcome.result = static_cast<unsigned>(message.wParam);
                outcome.done = message.lParam;
                if (message.lParam != base + static_cast<std::intptr_t>(outcome.progress.size()) &&
                    !(anyStart && outcome.progress.empty())) {
                    Break(&outcome, "WM_JOB_DONE counts " + std::to_string(message.lParam) +
                                        " pieces, progress reported " +
                                        std::to_string(outcome.progress.size()));
                }
                if (message.wParam > JOB_TARGET_ERROR) {
                    Break(&outcome, "unknown result " + std::to_string(message.wParam));
                }
                return outcome;
            default:
                Break(&outcome, "unknown message " + std::to_string(message.message));
        }
    }
    return outcome;
}

std::vector<JobMessage> Drain(JobReceiver& receiver, std::chrono::milliseconds quiet) {
    std::vector<JobMessage> messages;
    JobMessage message;
    while (receiver.Next(&message, quiet)) {
        messages.push_back(message);
    }
    return messages;
}

void WaitUntilIdle(const CJobController& controller) {
    while (controller.m_bBusy) {
        std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
}
