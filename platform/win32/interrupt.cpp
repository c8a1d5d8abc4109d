// The console's control events caught by a handler: Ctrl+C and Ctrl+Break set the flag; a
// closing console, logoff or shutdown set it too and hold the handler, since the system ends
// the process as soon as the handler returns.
#include "platform/interrupt.h"

#include <windows.h>

#include <atomic>

namespace platform {

namespace {

// Windows ends a process that holds a closing console for more than 5 seconds.
constexpr DWORD kHoldMilliseconds = 4500;

std::atomic<bool> g_interrupted{false};
HANDLE g_stopped = nullptr;  // manual-reset event, set by WorkStopped

BOOL WINAPI OnControl(DWORD event) {
    g_interrupted.store(true);
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) {
        ::WaitForSingleObject(g_stopped, kHoldMilliseconds);
    }
    return TRUE;
}

}  // namespace

bool CatchInterrupts() {
    g_stopped = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (g_stopped == nullptr) {
        return false;
    }
    return ::SetConsoleCtrlHandler(OnControl, TRUE) != 0;
}

bool Interrupted() {
    return g_interrupted.load();
}

void WorkStopped() {
    if (g_stopped != nullptr) {
        ::SetEvent(g_stopped);
    }
}

}  // namespace platform
