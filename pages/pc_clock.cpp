#include "pages/pc_clock.h"

namespace kalendo {

namespace {

PcClockSource clockSource = nullptr;

}  // namespace

void PcLocalTime(SYSTEMTIME* now) {
    if (clockSource) {
        clockSource(now);
    } else {
        GetLocalTime(now);
    }
}

void SetPcClockSource(PcClockSource source) {
    clockSource = source;
}

}  // namespace kalendo
