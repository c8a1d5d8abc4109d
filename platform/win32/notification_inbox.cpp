// The inbox is a message-only window whose posted messages are taken with PeekMessage.
#include "platform/notification_inbox.h"

#include <windows.h>

namespace platform {

namespace {

const char kClassName[] = "SecantoNotificationInbox";

bool RegisterInboxClass() {
    static const bool registered = [] {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = ::GetModuleHandleA(nullptr);
        windowClass.lpszClassName = kClassName;
        return ::RegisterClassA(&windowClass) != 0;
    }();
    return registered;
}

}  // namespace

NotificationInbox::NotificationInbox() {
    if (RegisterInboxClass()) {
        m_target = ::CreateWindowExA(0, kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                     ::GetModuleHandleA(nullptr), nullptr);
    }
}

NotificationInbox::~NotificationInbox() {
    if (m_target != nullptr) {
        ::DestroyWindow(static_cast<HWND>(m_target));
    }
}

bool NotificationInbox::Next(Notification* notification, std::chrono::milliseconds timeout) {
    if (m_target == nullptr) {
        return false;
    }
    const ULONGLONG deadline = ::GetTickCount64() + static_cast<ULONGLONG>(timeout.count());
    for (;;) {
        MSG msg;
        if (::PeekMessageA(&msg, static_cast<HWND>(m_target), 0, 0, PM_REMOVE)) {
            if (msg.message >= WM_USER) {
                *notification = {msg.message, msg.wParam, msg.lParam};
                return true;
            }
            ::DispatchMessageA(&msg);
            continue;
        }
        const ULONGLONG now = ::GetTickCount64();
        if (now >= deadline) {
            return false;
        }
        // Short waits, so that a wake-up missed between peek and wait costs little.
        const ULONGLONG wait = deadline - now < 20 ? deadline - now : 20;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(wait), QS_POSTMESSAGE);
    }
}

}  // namespace platform
