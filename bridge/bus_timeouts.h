// How long the bridge layer waits for the shared bus. Below both the bus mutex and discovery, so
// either can take them without the other.
#pragma once

#include <cstdint>

namespace kalendo {

// Longest one wait for another process to release the bus: the library's own read and write
// time-out.
constexpr unsigned kBusMutexTimeoutMs = 5000;
// A click or a Connect: the library's own time-out once.
constexpr uint32_t kUserActionBusWaitMs = 5000;
// A periodic tick skips rather than freeze the window; the next tick tries again.
constexpr uint32_t kPeriodicTickBusWaitMs = 200;

}  // namespace kalendo
