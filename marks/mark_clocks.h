// The PC's clocks a mark is taken on: the monotonic counter (the brackets), the system clock in
// UTC (the reference the brackets are put on) and the local time's offset from UTC (kept with
// the mark, for the reader; the RTC counts local time as it was set, UTC never jumps).
#pragma once

#include <cstdint>
#include <functional>

namespace kalendo::marks {

struct MarkClocks {
    std::function<double()> monotonicSeconds;
    std::function<int64_t()> systemUtcNanos;
    std::function<int32_t()> utcOffsetSeconds;  // local time minus UTC, now
    double systemResolutionSeconds = 1e-7;
};

MarkClocks SystemMarkClocks();

}  // namespace kalendo::marks
