// One action's share of the shared bus. A user action, a Connect or a timer tick waits for the
// bus mutex at most its budget in all, not the per-transaction time-out again and again; once a
// wait of the action timed out, or a read of it came back short (the board did not answer within
// the library's time-out), the rest of the action sends nothing and fails at once.
#pragma once

#include <cstdint>

namespace kalendo {

// A click or a Connect: the library's own time-out once.
constexpr uint32_t kUserActionBusWaitMs = 5000;
// A periodic tick skips rather than freeze the window; the next tick tries again.
constexpr uint32_t kPeriodicTickBusWaitMs = 200;

class BusHold {
  public:
    // A hold made while another is active joins it, unless its budget is shorter: a tick run
    // inside a user action's modal loop keeps to its own bound and leaves the action's alone.
    explicit BusHold(uint32_t budgetMs);
    ~BusHold();
    BusHold(const BusHold&) = delete;
    BusHold& operator=(const BusHold&) = delete;

    // True once a mutex wait of this action timed out: another program holds the bus.
    bool BusBusy() const;

    // What the active action has used of the bus.
    struct Budget {
        bool active = false;
        uint32_t budgetMs = 0;
        uint32_t waitedMs = 0;  // in mutex waits so far
        bool busBusy = false;
        bool boardSilent = false;
    };

  private:
    bool own_ = false;  // this hold's budget is the active one
    Budget saved_;      // the budget this hold replaced, put back when it ends
};

// For the bridge layer. Without an active hold every transaction waits the full time-out and
// nothing is remembered between transactions.
uint32_t BusWaitAllowanceMs();  // what the next mutex wait may take
void NoteBusWait(uint32_t waitedMs, bool timedOut);
void NoteBoardSilent();   // a read came back short
bool BusHoldStopped();    // the action must not use the bus any more
bool BusHeldElsewhere();  // the active action's wait timed out

}  // namespace kalendo
