#include "marks/kernel_clock_error.h"

#include "bridge/os_seam.h"

namespace kalendo::marks {

bool KernelMaximumClockError(double* seconds, std::string* reason) {
    const SystemClockError e = Os().QuerySystemClockError();
    *seconds = 0;
    if (!e.known) {
        *reason = "this system reports no maximum error of its clock";
        return false;
    }
    if (!e.synchronised) {
        *reason = "the kernel says its clock is not synchronised (no NTP daemon disciplines it)";
        return false;
    }
    *seconds = e.maxErrorSeconds;
    return true;
}

}  // namespace kalendo::marks
