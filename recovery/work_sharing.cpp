// Two threads over one atomic counter.
#include "recovery/work_sharing.h"

#include <atomic>
#include <thread>

namespace recovery {

void ShareWork(std::size_t count, const std::function<void(std::size_t item, int thread)>& work) {
    std::atomic<std::size_t> next{0};
    auto loop = [&](int thread) {
        for (std::size_t item = next++; item < count; item = next++) {
            work(item, thread);
        }
    };
    std::thread helper;
    if (count > 1) {
        try {
            helper = std::thread(loop, 1);
        } catch (...) {
        }
    }
    loop(0);
    if (helper.joinable()) {
        helper.join();
    }
}

}  // namespace recovery
