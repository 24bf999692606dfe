// One action on the shared bus: a click, a Connect, a timer tick, a console command. It takes
// the cross-process bus mutex once, at its first transaction, and holds it until it ends, so a
// multi-register change is never interleaved with another program's and never stopped halfway
// by a wait that runs out (the bus is ours from the first transaction on). It collects the
// outcome of every transaction made while it lives (first failure, bus busy, board silent) so
// the caller reports once. The per-action state is per thread; the mutex serialises threads.
#pragma once

#include <cstdint>

#include "bridge/bus_timeouts.h"

namespace kalendo {

class BusAction {
  public:
    // An action made while another is active on this thread joins that one's bus share, unless
    // its budget is shorter: a tick run inside a user action's modal loop keeps its own bound.
    // Either way it collects only the failures of transactions made after it was made; an action
    // that joined passes them on to the one it joined, a share of its own keeps them.
    explicit BusAction(uint32_t budgetMs);
    ~BusAction();
    BusAction(const BusAction&) = delete;
    BusAction& operator=(const BusAction&) = delete;

    // No transaction of this action failed.
    bool Ok() const { return firstFailure_ == 0; }
    // The bus mutex was not had within the budget: another program holds the bus, nothing was
    // sent, and nothing shown should change.
    bool BusBusy() const;
    // A read came back short: the board did not answer within the library's time-out, so the
    // rest of the action sends nothing (bar its WriteAlways clean-ups) rather than wait again.
    bool BoardSilent() const;

  private:
    friend void NoteBusFailure(int32_t code);
    BusAction* outer_ = nullptr;  // the action this one was made inside
    bool ownShare_ = false;       // this action's budget is the active one
    int32_t firstFailure_ = 0;
    struct Share {
        bool active = false;
        uint32_t budgetMs = 0;
        uint32_t waitedMs = 0;  // in mutex waits so far
        bool busBusy = false;
        bool boardSilent = false;
        void* heldMutex = nullptr;  // taken by this share's first transaction, released at its end
    };
    Share saved_;  // the share this action replaced, put back when it ends
    friend struct BusShareAccess;
};

// For the bridge layer. Without an active action every transaction takes the mutex for itself
// with the full time-out, and nothing is remembered between transactions.
uint32_t BusWaitAllowanceMs();  // what the next mutex wait may take
void NoteBusWait(uint32_t waitedMs, bool timedOut);
void NoteBoardSilent();      // a read came back short
// After a short read the bridge sends nothing more until the board is connected afresh, so a
// silent board costs the window one time-out, not one per timer. A run that rides out failed
// reads (kalendo-cli drift) forgets it before each try.
void ForgetBoardSilence();
void NoteBusFailure(int32_t code);  // a transaction failed: every live action records it
bool BusActionActive();
bool BusActionStopped();     // the active action must not use the bus any more
bool BusBusyInAction();      // the active action's wait timed out
// The mutex the active action holds (null: none yet); the action keeps it to its end.
void* ActionHeldMutex();
void KeepMutexForAction(void* mutex);

}  // namespace kalendo
