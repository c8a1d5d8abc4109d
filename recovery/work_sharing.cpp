// Two threads over one atomic counter; the helper says when it is done through a condition.
#include "recovery/work_sharing.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace recovery {

void ShareWork(std::size_t count,
               const std::function<void(std::size_t item, int thread)>& work,
               const std::function<void()>& waiting) {
    std::atomic<std::size_t> next{0};
    auto loop = [&](int thread) {
        for (std::size_t item = next++; item < count; item = next++) {
            work(item, thread);
        }
    };
    std::mutex lock;
    std::condition_variable finished;
    bool done = false;
    std::thread helper;
    if (count > 1) {
        try {
            helper = std::thread([&] {
                loop(1);
                std::lock_guard<std::mutex> guard(lock);
                done = true;
                finished.notify_one();
            });
        } catch (...) {
        }
    }
    loop(0);
    if (!helper.joinable()) {
        return;
    }
    if (waiting) {
        std::unique_lock<std::mutex> guard(lock);
        while (!finished.wait_for(guard, std::chrono::milliseconds(5), [&] { return done; })) {
            guard.unlock();
            waiting();
            guard.lock();
        }
    }
    helper.join();
}

}  // namespace recovery
