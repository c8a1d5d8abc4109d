// The hold of a running job. The job passes the gate at each of its stop tests and waits
// there while the gate is held, so a held worker owns no lock and is stopped only at a
// point where its files are consistent.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>

class HoldGate {
public:
    void Hold() {
        std::lock_guard<std::mutex> guard(m_lock);
        m_held = true;
    }

    void Release() {
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_held = false;
        }
        m_released.notify_all();
    }

    // Returns at once when the gate is open, else when it is released.
    void Pass() {
        if (!m_held.load(std::memory_order_acquire)) {
            return;
        }
        std::unique_lock<std::mutex> guard(m_lock);
        m_released.wait(guard, [this] { return !m_held.load(std::memory_order_relaxed); });
    }

private:
    std::mutex m_lock;
    std::condition_variable m_released;
    std::atomic<bool> m_held{false};
};
