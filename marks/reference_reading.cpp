#include "marks/reference_reading.h"

#include <cmath>
#include <cstdio>

#include "marks/kernel_clock_error.h"

namespace kalendo::marks {

ReferenceTaken ReadReference(const ReferenceChoice& choice, const MarkClocks& clocks,
                             const std::function<void(const std::string&)>& progress) {
    ReferenceTaken out;
    ReferenceReading& ref = out.reading;
    ref.source = ReferenceSource::Assumed;
    ref.error = choice.assumedErrorSeconds;
    if (choice.source == ReferenceSource::Ntp) {
        if (progress) progress("asking NTP server " + ntp::NtpServerText(choice.server));
        ntp::NtpClocks ntpClocks{clocks.systemUtcNanos, clocks.monotonicSeconds,
                                 clocks.systemResolutionSeconds};
        out.ntp = ntp::MeasureNtpOffset(choice.network ? *choice.network : ntp::SystemUdpNetwork(),
                                        choice.server, ntpClocks, choice.burst);
        if (out.ntp.valid) {
            const ntp::NtpSample& s = out.ntp.best;
            ref.source = ReferenceSource::Ntp;
            ref.utcNanos = s.MiddleUtcNanos();
            ref.monotonic = (s.monotonicBeforeT1 + s.monotonicAfterT4) / 2;
            ref.offset = s.offsetSeconds;
            ref.error = s.boundSeconds;
            ref.carryRate = ntp::kFrequencyTolerance;
            ref.server = out.ntp.server;
        } else if (choice.fallback) {
            out.fellBack = true;
            out.fallenBecause = out.ntp.error;
        } else {
            out.error = out.ntp.error;
            return out;
        }
    } else if (choice.source == ReferenceSource::Kernel) {
        double maxError = 0;
        std::string reason;
        const auto kernel = choice.kernelError ? choice.kernelError : KernelMaximumClockError;
        ref.monotonic = clocks.monotonicSeconds();
        ref.utcNanos = clocks.systemUtcNanos();
        if (kernel(&maxError, &reason)) {
            ref.source = ReferenceSource::Kernel;
            ref.error = maxError;
            ref.carryRate = kKernelErrorGrowth;
        } else if (choice.fallback) {
            out.fellBack = true;
            out.fallenBecause = "the kernel: " + reason;
        } else {
            out.error = "no kernel reference: " + reason;
            return out;
        }
    }
    out.ok = true;
    return out;
}

bool CarryReference(const ReferenceReading& r, int64_t utcNanos, double monotonic,
                    double systemResolutionSeconds, double* error, std::string* why) {
    if (r.source == ReferenceSource::Assumed) {
        *error = r.error;
        return true;
    }
    const double alongSystem = static_cast<double>(utcNanos - r.utcNanos) / 1e9;
    const double alongCounter = monotonic - r.monotonic;
    const double moved = std::fabs(alongSystem - alongCounter);
    if (moved > kCarryReadingSlack + kLargestSlew * std::fabs(alongCounter)) {
        char text[200];
        std::snprintf(text, sizeof text,
                      "the system clock moved %.1f ms against the performance counter between "
                      "the reference's reading and the instant it is used (a step or a fast slew)",
                      moved * 1000);
        *why = text;
        return false;
    }
    *error = r.error + r.carryRate * std::fabs(alongSystem) + systemResolutionSeconds;
    return true;
}

}  // namespace kalendo::marks
