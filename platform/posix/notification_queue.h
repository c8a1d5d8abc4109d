// The receiver of job notifications where there are no windows: a thread-safe queue that
// the user-interface side drains in posting order.
//
// A job posts a progress notification for every piece, thousands a second where the pieces
// are small, and waking the reader for each costs the job more than the reader gains. So a
// notification that repeats the previous one's message within kRepeatWake of the reader's
// last wake-up does not wake it again: the reader, once woken, looks at the queue again
// by then on its own. Any other notification wakes it at once.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>

#include "platform/notify.h"

namespace platform {

class NotificationQueue {
public:
    void Post(const Notification& notification);
    // Runs `hook` on the posting thread before each notification is queued.
    void SetPostHook(std::function<void(const Notification&)> hook);
    // Takes the oldest notification, waiting up to `timeout` for one; false when none came.
    bool Wait(Notification* notification, std::chrono::milliseconds timeout);

    static constexpr std::chrono::milliseconds kRepeatWake{10};

private:
    using Clock = std::chrono::steady_clock;

    std::mutex m_lock;
    std::condition_variable m_posted;
    std::deque<Notification> m_queue;
    std::function<void(const Notification&)> m_hook;
    unsigned m_lastMessage = 0;
    Clock::time_point m_lastWake;
};

}  // namespace platform
