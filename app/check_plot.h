// The Data Sheet Check window's plots, drawn with GDI: RTC minus reference over time with the
// fitted line and its uncertainty band; beside it, once the supply sweep has run, the VDD and
// battery currents against the supply setting with the switch-over and the lowest answering
// supply marked.
#pragma once

#include <windows.h>

#include "app/check_worker.h"

namespace kalendo {

void DrawCheckPlots(HDC dc, const RECT& area, const CheckSnapshot& snapshot);

}  // namespace kalendo
