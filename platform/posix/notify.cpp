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
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_queue.push_back(notification);
    }
    m_posted.notify_one();
}

bool NotificationQueue::Wait(Notification* notification, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> guard(m_lock);
    if (!m_posted.wait_for(guard, timeout, [this] { return !m_queue.empty(); })) {
        return false;
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
