#include "bridge/bridge_state.h"

namespace kalendo {

//                                        next     ch       rate    sI  sSL sCL pL  pSH pI  sC  pC
const TimingRecord kStandardModeTiming = {nullptr, nullptr, 100000, 23, 20, 15, 10, 20, 10, 58, 41};
const TimingRecord kFastModeTiming = {nullptr, nullptr, 400000, 3, 3, 3, 3, 3, 3, 9, 10};

namespace {

BridgeState FreshState() {
    BridgeState s;
    // Filled once up front, so fallback values are right even before the library is bound.
    for (int w = 1; w <= 32; ++w) s.WidthMask[w] = s.WidthMask[w - 1] * 2 + 1;
    return s;
}

}  // namespace

BridgeState& Bridge() {
    static BridgeState state = FreshState();
    return state;
}

}  // namespace kalendo
