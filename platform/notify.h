// Posting a job notification to the receiver on the user-interface thread.
#pragma once

#include <cstdint>

namespace platform {

// On Windows a window handle; elsewhere a NotificationQueue.
using NotifyTarget = void*;

// One posted notification, as its receiver takes it.
struct Notification {
    unsigned message = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
};

// Queues the message for the receiver and returns at once, without waiting for it to be
// handled. Messages from one thread arrive in the order they were posted.
bool PostNotification(NotifyTarget target,
                      unsigned message,
                      std::uintptr_t wParam,
                      std::intptr_t lParam);

}  // namespace platform
