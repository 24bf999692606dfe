// RTC minus PC at each seconds transition, from the run's first transition: what the CSV records
// and the plots show. The first transition (index 0) is the origin of every later one.
#pragma once

#include <cstddef>
#include <cstdint>

#include "check/drift_fit.h"

namespace kalendo::check {

struct TransitionOffset {
    double pcSeconds;     // PC seconds since the first transition
    double offsetMs;      // RTC minus PC, less the same at the first transition
    double halfWidthMs;   // the transition's bracket
    int64_t rtcSeconds;   // RTC seconds since the first transition
};

class TransitionOffsets {
  public:
    TransitionOffset Of(size_t index, const SecondsTransition& t) {
        if (index == 0) first_ = t;
        const double pc = t.pcSeconds - first_.pcSeconds;
        const int64_t rtc = t.rtcSeconds - first_.rtcSeconds;
        return {pc, (static_cast<double>(rtc) - pc) * 1000, t.halfWidth * 1000, rtc};
    }

  private:
    SecondsTransition first_{};
};

}  // namespace kalendo::check
