// The operating system's own estimate of its clock's error, where it keeps one: Linux's
// adjtimex() maximum error, which an NTP daemon disciplining the clock maintains (it grows by
// 500 ppm of the time since the daemon last set it). Windows keeps none that a program can read.
#pragma once

#include <string>

namespace kalendo::marks {

// False with the reason when there is none (not Linux, or the clock is not synchronised).
bool KernelMaximumClockError(double* seconds, std::string* reason);

// How fast the kernel lets its maximum error grow: what carrying it to a nearby instant costs.
constexpr double kKernelErrorGrowth = 500e-6;

}  // namespace kalendo::marks
