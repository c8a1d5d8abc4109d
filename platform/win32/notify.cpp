// Notifications as posted window messages.
#include "platform/notify.h"

#include <windows.h>

namespace platform {

bool PostNotification(NotifyTarget target,
                      unsigned message,
                      std::uintptr_t wParam,
                      std::intptr_t lParam) {
    return ::PostMessageA(static_cast<HWND>(target), message, wParam, lParam) != 0;
}

}  // namespace platform
