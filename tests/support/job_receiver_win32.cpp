// A message-only window whose posted messages the test takes with PeekMessage.
#include "tests/support/job_receiver.h"

#include <windows.h>

#include "engine/job_notifications.h"

namespace {

const char kClassName[] = "SecantoTestReceiver";

void RegisterReceiverClass() {
    static const bool registered = [] {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = kClassName;
        return RegisterClassA(&windowClass) != 0;
    }();
    (void)registered;
}

}  // namespace

JobReceiver::JobReceiver() {
    RegisterReceiverClass();
    m_impl = CreateWindowExA(0, kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
}

JobReceiver::~JobReceiver() {
    DestroyWindow(static_cast<HWND>(m_impl));
}

platform::NotifyTarget JobReceiver::Target() const {
    return m_impl;
}

bool JobReceiver::Next(JobMessage* message, std::chrono::milliseconds timeout) {
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeout.count());
    for (;;) {
        MSG msg;
        if (PeekMessageA(&msg, static_cast<HWND>(m_impl), WM_JOB_RANGE, WM_JOB_PROGRESS,
                         PM_REMOVE)) {
            *message = {msg.message, msg.wParam, msg.lParam};
            return true;
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) {
            return false;
        }
        // Short waits, so that a wake-up missed between peek and wait costs little.
        const ULONGLONG wait = deadline - now < 20 ? deadline - now : 20;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(wait), QS_POSTMESSAGE);
    }
}

bool JobReceiver::CatchWorkerAt(unsigned, std::intptr_t) {
    return false;
}

bool JobReceiver::WaitWorkerCaught(std::chrono::milliseconds) {
    return false;
}

void JobReceiver::ReleaseWorker() {}
