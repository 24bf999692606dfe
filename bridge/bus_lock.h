// Holds the bus for one transaction: the process's own lock (the window's thread and the data-sheet
// check's worker) and the cross-process bus mutex (other programs), always in that order. Inside
// a BusAction the first transaction takes both for the whole action and later ones find them
// held.
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

    // False when another thread or program held the bus for the whole wait, a wait failed, or the
    // action has stopped using the bus. The process's own lock is always taken, so the threads
    // never interleave even where no bus mutex could be made.
    bool Usable() const { return usable_; }

  private:
    bool held_ = false;  // let go at the end of this transaction (no action)
    bool usable_ = true;
};

// This thread holds the bus (for a transaction or an action): what it writes to the bridge's
// shared state cannot change under another thread.
bool ThisThreadHoldsBus();

// For a status that must be set where this thread may not hold the bus: set only when it does,
// or when the process's lock is free this instant (taken and let go at once). Never while
// another thread is inside a transfer.
void SetBusStatusIfFree(int32_t code);

// For the action's end: lets go of both locks its first transaction took.
void ReleaseBus();

// One wait for the bus mutex, counted against the active action's budget.
MutexWait WaitForBusMutex(void* mutex);

}  // namespace kalendo
