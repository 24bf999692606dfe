#include "marks/mark_clocks.h"

#include <ctime>

#include "ntp/ntp_clocks.h"

namespace kalendo::marks {

namespace {

int32_t LocalMinusUtcSeconds() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#if defined(_WIN32)
    localtime_s(&local, &now);
    // The local fields read as if they were UTC, less the instant itself.
    return static_cast<int32_t>(_mkgmtime(&local) - now);
#else
    localtime_r(&now, &local);
    return static_cast<int32_t>(local.tm_gmtoff);
#endif
}

}  // namespace

MarkClocks SystemMarkClocks() {
    const ntp::NtpClocks ntpClocks = ntp::SystemNtpClocks();
    MarkClocks clocks;
    clocks.monotonicSeconds = ntpClocks.monotonicSeconds;
    clocks.systemUtcNanos = ntpClocks.systemUtcNanos;
    clocks.utcOffsetSeconds = LocalMinusUtcSeconds;
    clocks.systemResolutionSeconds = ntpClocks.systemResolutionSeconds;
    return clocks;
}

}  // namespace kalendo::marks
