// The inbox is a NotificationQueue.
#include "platform/notification_inbox.h"

#include <new>

#include "platform/posix/notification_queue.h"

namespace platform {

NotificationInbox::NotificationInbox() : m_target(new (std::nothrow) NotificationQueue) {}

NotificationInbox::~NotificationInbox() {
    delete static_cast<NotificationQueue*>(m_target);
}

bool NotificationInbox::Next(Notification* notification, std::chrono::milliseconds timeout) {
    return m_target != nullptr &&
           static_cast<NotificationQueue*>(m_target)->Wait(notification, timeout);
}

}  // namespace platform
