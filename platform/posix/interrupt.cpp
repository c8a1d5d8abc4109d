// SIGINT, SIGTERM and SIGHUP caught by a handler that only sets a flag.
#include "platform/interrupt.h"

#include <signal.h>

#include <atomic>
#include <initializer_list>

namespace platform {

namespace {

// Lock-free, so that the handler may set it.
std::atomic<bool> g_interrupted{false};

void OnSignal(int) {
    g_interrupted.store(true);
}

}  // namespace

bool CatchInterrupts() {
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction old = {};
        if (sigaction(signal, nullptr, &old) != 0) {
            return false;
        }
        // A shell starts background jobs with SIGINT ignored, and nohup ignores SIGHUP:
        // the user meant those to go on.
        if (signal != SIGTERM && old.sa_handler == SIG_IGN) {
            continue;
        }
        if (sigaction(signal, &action, nullptr) != 0) {
            return false;
        }
    }
    return true;
}

bool Interrupted() {
    return g_interrupted.load();
}

void WorkStopped() {}

}  // namespace platform
