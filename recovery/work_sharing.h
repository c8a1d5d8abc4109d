// Items of work shared by the caller's thread and one more, each taking the next item in
// turn, for checksumming many files on both cores.
#pragma once

#include <cstddef>
#include <functional>

namespace recovery {

// Calls work(item, thread) once for each item in [0, count), thread 0 being the caller's
// own; returns when all are done. Where no second thread can start, the caller does all.
void ShareWork(std::size_t count, const std::function<void(std::size_t item, int thread)>& work);

}  // namespace recovery
