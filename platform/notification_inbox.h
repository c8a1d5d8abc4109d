// The receiving end of job notifications for a thread without a window procedure: a command
// line or a test takes the notifications one by one, waiting with a timeout, on the thread
// that made the inbox.
#pragma once

#include <chrono>

#include "platform/notify.h"

namespace platform {

class NotificationInbox {
public:
    NotificationInbox();
    ~NotificationInbox();
    NotificationInbox(const NotificationInbox&) = delete;
    NotificationInbox& operator=(const NotificationInbox&) = delete;

    // Where a controller posts: a NotificationQueue, or on Windows a message-only window.
    // Null when the inbox could not be made.
    NotifyTarget Target() const { return m_target; }

    // Takes the oldest notification, waiting up to `timeout` for one; false when none came.
    // Only on the thread that made the inbox.
    bool Next(Notification* notification, std::chrono::milliseconds timeout);

private:
    NotifyTarget m_target = nullptr;
};

}  // namespace platform
