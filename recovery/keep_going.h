// Long operations ask the caller every few MiB whether to go on: false stops them at once,
// leaving nothing half-renamed. Called only from the thread that started the operation.
#pragma once

#include <functional>

namespace recovery {

using KeepGoing = std::function<bool()>;

// How many bytes at most pass between two questions.
constexpr unsigned kKeepGoingInterval = 4u << 20;

}  // namespace recovery
