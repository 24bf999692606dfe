// Holds the cross-process bus mutex for one transaction. Inside a BusAction the first
// transaction takes the mutex for the whole action and later ones find it held.
#pragma once

#include "bridge/os_seam.h"

namespace kalendo {

// What a transaction does once its action has stopped using the bus (a silent board).
enum class WhenStopped {
    Skip,      // sends nothing: the usual case
    SendAnyway // a clean-up that must reach the chip: a guard release, an output switched back
};

class BusLock {
  public:
    // Waits at most what the action's budget has left (the library's time-out without an
    // action); does not wait at all once the action has stopped using the bus or already holds
    // it. A busy bus is never sent to, whatever `stopped` says.
    explicit BusLock(WhenStopped stopped = WhenStopped::Skip);
    ~BusLock();
    BusLock(const BusLock&) = delete;
    BusLock& operator=(const BusLock&) = delete;

    // False when another process held the bus for the whole wait, or the action has stopped
    // using the bus. Without a mutex (its creation failed) the bus is used unlocked, and this
    // is true.
    bool Usable() const { return usable_; }

  private:
    void* held_ = nullptr;  // released at the end of this transaction (no action)
    bool usable_ = true;
};

// One wait for the bus mutex, counted against the active action's budget.
MutexWait WaitForBusMutex(void* mutex);

}  // namespace kalendo
