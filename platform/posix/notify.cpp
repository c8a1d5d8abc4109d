// Notifications through an in-process queue.
#include "platform/notify.h"

#include "platform/posix/notification_queue.h"

namespace platform {

void NotificationQueue::SetPostHook(std::function<void(const Notification&)> hook) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_hook = std::move(hook);
}

void NotificationQueue::Post(const Notification& notification) {
    std::function<void(const Notification&)> hook;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        hook = m_hook;
    }
    if (hook) {
        hook(notification);
    }
    bool wake;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_queue.push_back(notification);
        const Clock::time_point now = Clock::now();
        wake = notification.message != m_lastMessage || now - m_lastWake >= kRepeatWake;
        m_lastMessage = notification.message;
        if (wake) {
            m_lastWake = now;
        }
    }
    if (wake) {
        m_posted.notify_one();
    }
}

bool NotificationQueue::Wait(Notification* notification, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> guard(m_lock);
    const Clock::time_point deadline = Clock::now() + timeout;
    while (m_queue.empty()) {
        const Clock::time_point now = Clock::now();
        if (now >= deadline) {
            return false;
        }
        // Within kRepeatWake of the last wake-up a repeat may have come without waking us.
        const Clock::time_point quiet = m_lastWake + kRepeatWake;
        m_posted.wait_until(guard, now < quiet && quiet < deadline ? quiet : deadline);
    }
    *notification = m_queue.front();
    m_queue.pop_front();
    return true;
}

bool PostNotification(NotifyTarget target,
                      unsigned message,
                      std::uintptr_t wParam,
                      std::intptr_t lParam) {
    if (target == nullptr) {
        return false;
    }
    static_cast<NotificationQueue*>(target)->Post({message, wParam, lParam});
    return true;
}

}  // namespace platform
