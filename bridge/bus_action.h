// One action on the shared bus: a click, a Connect, a timer tick, a console command, one read of
// the data-sheet check's worker. It takes the bus once, at its first transaction, and holds it
// until it ends, so a multi-register change is never interleaved with another thread's or
// program's and never stopped halfway by a wait that runs out (the bus is ours from the first
// transaction on). "The bus" is two locks taken in one order: the process's own (the window's
// thread and the check's worker) and the cross-process bus mutex (other programs). It collects
// the outcome of every transaction made while it lives (first failure, bus busy, board silent) so
// the caller reports once. Everything an action records is this thread's own: another thread's
// transfers can neither fail it nor clear it.
#pragma once

#include <cstdint>

#include "bridge/bus_timeouts.h"

namespace kalendo {

class BusAction {
  public:
    // An action made while another is active on this thread joins that one's bus share (its
    // budget, its hold of the bus, and whether it has stopped), unless its budget is shorter: a
    // tick run inside a user action's modal loop keeps its own bound. Either way it collects only
    // the failures of transactions made after it was made; an action that joined passes them on
    // to the one it joined, a share of its own keeps them.
    explicit BusAction(uint32_t budgetMs);
    ~BusAction();
    BusAction(const BusAction&) = delete;
    BusAction& operator=(const BusAction&) = delete;

    // No transaction of this action failed.
    bool Ok() const { return firstFailure_ == 0; }
    // The bus was not had within the budget: another thread or program holds it, nothing was
    // sent, and nothing shown should change.
    bool BusBusy() const;
    // The board did not answer within the library's time-out, or answered far later than a
    // healthy one: the rest of the action sends nothing (bar its WriteAlways clean-ups, where
    // the engine answers again) rather than wait again.
    bool BoardSilent() const;

  private:
    friend void NoteBusFailure(int32_t code);
    BusAction* outer_ = nullptr;  // the action this one was made inside
    bool ownShare_ = false;       // this action's budget is the active one
    int32_t firstFailure_ = 0;
    struct Share {
        bool active = false;
        uint32_t budgetMs = 0;
        uint32_t waitedMs = 0;  // in lock waits so far
        bool busBusy = false;
        bool boardSilent = false;
        bool holdsBus = false;  // taken by this share's first transaction, let go at its end
    };
    Share saved_;  // the share this action replaced, put back when it ends
    friend struct BusShareAccess;
};

// For the bridge layer. Without an active action every transaction takes the bus for itself
// with the full time-out, and nothing is remembered between transactions.
uint32_t BusWaitAllowanceMs();  // what the next wait for the bus may take
void NoteBusWait(uint32_t waitedMs, bool timedOut);
// The board stopped answering in time: the active action stops using the bus.
void NoteBoardSilent();
// ... and this thread does not wait for the board again until the bridge is closed (Disconnect,
// a board found gone, a new Connect): a silent board costs the window one time-out, not one per
// timer. Another thread keeps its own view: the check's worker finding the board silent leaves
// the window's ticks alone, and the other way round.
void LatchBoardSilence();
bool ThisThreadFoundBoardSilent();
// A run that rides out a failed read (kalendo-cli drift, the data-sheet check) forgets its own
// thread's latch before trying again; the engine is resynchronised before the next burst, so a
// board that answers again is used again and one that does not fails fast.
void ForgetBoardSilence();
// Closing the bridge: every thread's latch goes.
void ForgetEveryThreadsBoardSilence();
void NoteBusFailure(int32_t code);  // a transaction failed: every live action records it
bool BusActionActive();
bool BusActionStopped();   // the active action must not use the bus any more
bool BusBusyInAction();    // the active action's wait timed out
bool ActionHoldsBus();     // the active action has taken the bus and keeps it to its end
void KeepBusForAction();   // the locks just taken belong to the active action

}  // namespace kalendo
