#include "bridge/bus_hold.h"

#include "bridge/board_discovery.h"

namespace kalendo {

namespace {

struct ActionBudget {
    bool active = false;
    uint32_t budgetMs = 0;
    uint32_t waitedMs = 0;
    bool busBusy = false;
    bool boardSilent = false;
};

ActionBudget current;

}  // namespace

BusHold::BusHold(uint32_t budgetMs) {
    if (current.active && budgetMs >= current.budgetMs) return;
    saved_ = {current.active, current.budgetMs, current.waitedMs, current.busBusy,
              current.boardSilent};
    current = ActionBudget{};
    current.active = true;
    current.budgetMs = budgetMs;
    own_ = true;
}

BusHold::~BusHold() {
    if (!own_) return;
    current = {saved_.active, saved_.budgetMs, saved_.waitedMs, saved_.busBusy,
               saved_.boardSilent};
}

bool BusHold::BusBusy() const {
    return current.busBusy;
}

uint32_t BusWaitAllowanceMs() {
    if (!current.active) return kBusMutexTimeoutMs;
    const uint32_t left = current.waitedMs < current.budgetMs ? current.budgetMs - current.waitedMs : 0;
    return left < kBusMutexTimeoutMs ? left : kBusMutexTimeoutMs;
}

void NoteBusWait(uint32_t waitedMs, bool timedOut) {
    if (!current.active) return;
    current.waitedMs += waitedMs;
    if (timedOut) current.busBusy = true;
}

void NoteBoardSilent() {
    if (current.active) current.boardSilent = true;
}

bool BusHoldStopped() {
    return current.active && (current.busBusy || current.boardSilent);
}

bool BusHeldElsewhere() {
    return current.active && current.busBusy;
}

}  // namespace kalendo
