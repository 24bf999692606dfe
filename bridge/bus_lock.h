// Holds the cross-process bus mutex for one register operation or one discovery.
#pragma once

#include "bridge/os_seam.h"

namespace kalendo {

class BusLock {
  public:
    // Waits at most what the action's bus hold has left (the library's time-out without one);
    // does not wait at all once the action has stopped using the bus.
    BusLock();
    ~BusLock();
    BusLock(const BusLock&) = delete;
    BusLock& operator=(const BusLock&) = delete;

    // False when another process held the bus for the whole wait, or the action has stopped
    // using the bus. Without a mutex (its creation failed) the bus is used unlocked, and this
    // is true.
    bool Usable() const { return usable_; }

  private:
    void* held_ = nullptr;
    bool usable_ = true;
};

// One wait for the bus mutex, counted against the active action's bus hold.
MutexWait WaitForBusMutex(void* mutex);

}  // namespace kalendo
