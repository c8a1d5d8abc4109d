// Items of work shared by the caller's thread and one more, each taking the next item in
// turn, for checksumming many files on both cores.
#pragma once

#include <cstddef>
#include <functional>

namespace recovery {

// Calls work(item, thread) once for each item in [0, count), thread 0 being the caller's
// own; returns when all are done. Where no second thread can start, the caller does all.
// While the caller's thread has no item left and waits for the other, it calls `waiting`
// (when given) every few milliseconds: where it asks its own caller whether to go on, and
// tells the other thread to stop.
void ShareWork(std::size_t count,
               const std::function<void(std::size_t item, int thread)>& work,
               const std::function<void()>& waiting = std::function<void()>());

}  // namespace recovery
