// Receives a controller's notifications on the test's own thread, as the dialog would.
#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

#include "platform/notify.h"

using JobMessage = platform::Notification;

class JobReceiver {
public:
    JobReceiver();
    ~JobReceiver();
    JobReceiver(const JobReceiver&) = delete;
    JobReceiver& operator=(const JobReceiver&) = delete;

    platform::NotifyTarget Target() const;
    // Takes the next notification, waiting up to `timeout`; false when none came.
    bool Next(JobMessage* message, std::chrono::milliseconds timeout);

    // Makes the worker wait inside its post of the first notification equal to `message`
    // and `lParam`, before it is queued, until ReleaseWorker. False where posting never
    // blocks (Windows), so tests that need the catch skip there.
    bool CatchWorkerAt(unsigned message, std::intptr_t lParam);
    // True once the worker waits in the catch; false after `timeout`.
    bool WaitWorkerCaught(std::chrono::milliseconds timeout);
    void ReleaseWorker();

private:
    struct Catch;
    void* m_impl;
    Catch* m_catch = nullptr;
};
