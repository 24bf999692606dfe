#include "bridge/bus_hold.h"

#include "bridge/board_discovery.h"

namespace kalendo {

namespace {

BusHold::Budget current;

}  // namespace

BusHold::BusHold(uint32_t budgetMs) {
    if (current.active && budgetMs >= current.budgetMs) return;
    saved_ = current;
    current = Budget{};
    current.active = true;
    current.budgetMs = budgetMs;
    own_ = true;
}

BusHold::~BusHold() {
    if (own_) current = saved_;
}

bool BusHold::BusBusy() const {
    return current.busBusy;
}

uint32_t BusWaitAllowanceMs() {
    if (!current.active) return kBusMutexTimeoutMs;
    const uint32_t left =
        current.waitedMs < current.budgetMs ? current.budgetMs - current.waitedMs : 0;
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
