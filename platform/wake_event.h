// An auto-reset event: Signal lets one Wait return; signals that arrive before that wait
// count as one, and the wait clears the event.
#pragma once

#include <condition_variable>
#include <mutex>

namespace platform {

class WakeEvent {
public:
    void Signal() {
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_signalled = true;
        }
        m_wake.notify_one();
    }

    void Wait() {
        std::unique_lock<std::mutex> guard(m_lock);
        m_wake.wait(guard, [this] { return m_signalled; });
        m_signalled = false;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_wake;
    bool m_signalled = false;
};

}  // namespace platform
