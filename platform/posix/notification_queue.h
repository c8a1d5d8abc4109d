// The receiver of job notifications where there are no windows: a thread-safe queue that
// the user-interface side drains in posting order.
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

private:
    std::mutex m_lock;
    std::condition_variable m_posted;
    std::deque<Notification> m_queue;
    std::function<void(const Notification&)> m_hook;
};

}  // namespace platform
