#include "tests/marks/virtual_marks.h"

namespace kalendo::marks::testing {

RtcDateTime DateTimeOfCount(int64_t secondsSince2000) {
    return RtcDateTimeOfSeconds(secondsSince2000);
}

Mark TakeVirtualMark(const VirtualRtc& rtc, double t, const MarkShot& shot, double* trueInstant,
                     const BoardIdentity& board) {
    int64_t second = 0;
    const double at = rtc.NextTransition(t, &second);
    *trueInstant = at;
    const double system = at + shot.systemErrorSeconds;
    Mark m;
    m.board = board;
    const int64_t systemNanos = kEpochUtcNanos + std::llround(system * 1e9);
    m.earlyUtcNanos = systemNanos - std::llround(shot.bracketSeconds * shot.position * 1e9);
    m.lateUtcNanos = systemNanos + std::llround(shot.bracketSeconds * (1 - shot.position) * 1e9);
    m.rtc = DateTimeOfCount(rtc.secondsAtEpoch + second);
    m.utcOffsetSeconds = 3600;
    if (std::isnan(shot.ntpOffsetSeconds)) {
        m.reference.source = ReferenceSource::Assumed;
    } else {
        m.reference.source = ReferenceSource::Ntp;
        m.reference.server = "127.0.0.1:12300";
        m.reference.offsetSeconds = shot.ntpOffsetSeconds;
    }
    m.reference.errorSeconds = shot.referenceErrorSeconds;
    m.program = "test";
    return m;
}

}  // namespace kalendo::marks::testing
