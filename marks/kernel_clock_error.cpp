#include "marks/kernel_clock_error.h"

#if defined(__linux__)
#include <sys/timex.h>
#endif

namespace kalendo::marks {

bool KernelMaximumClockError(double* seconds, std::string* reason) {
#if defined(__linux__)
    timex t{};
    const int state = adjtimex(&t);
    if (state == -1) {
        *reason = "the kernel does not report its clock's error";
        return false;
    }
    if (state == TIME_ERROR || (t.status & STA_UNSYNC)) {
        *reason = "the kernel says its clock is not synchronised (no NTP daemon disciplines it)";
        return false;
    }
    *seconds = t.maxerror / 1e6;  // microseconds
    return true;
#else
    *seconds = 0;
    *reason = "this system reports no maximum error of its clock";
    return false;
#endif
}

}  // namespace kalendo::marks
