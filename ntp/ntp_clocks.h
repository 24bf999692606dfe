// The clocks an NTP exchange is stamped on: the system clock (the one the server's offset is
// measured for, in UTC) and the monotonic counter (steady from one reading to the next, so an
// offset can be carried to a nearby instant).
#pragma once

#include <cstdint>
#include <functional>

namespace kalendo::ntp {

struct NtpClocks {
    std::function<int64_t()> systemUtcNanos;  // nanoseconds from 1970-01-01 00:00:00 UTC
    std::function<double()> monotonicSeconds;
    double systemResolutionSeconds = 1e-7;  // one step of a system clock reading
};

// The system clock at its finest (the precise Windows clock, 100 ns units; CLOCK_REALTIME).
int64_t SystemUtcNanos();
// The system clock and std::chrono::steady_clock (the performance counter on Windows).
NtpClocks SystemNtpClocks();

}  // namespace kalendo::ntp
