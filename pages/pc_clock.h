// The PC's local date and time as the Time and Date and Alarm pages read it. Tests replace the
// source so that a page can be driven on a chosen week day without touching the machine's clock.
#pragma once

#include <windows.h>

namespace kalendo {

using PcClockSource = void (*)(SYSTEMTIME* now);

// GetLocalTime, or the source set below.
void PcLocalTime(SYSTEMTIME* now);

// Null restores GetLocalTime. User-interface thread only.
void SetPcClockSource(PcClockSource source);

}  // namespace kalendo
