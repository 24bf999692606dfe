// The Data Sheet Check window's long-term plot, drawn with GDI: the RTC minus true time at each
// of the board's marks against days, each mark's strict bound as a bar. Marks across a break (a
// time write, an RTC set or stopped) are drawn as separate segments, never joined.
#pragma once

#include <windows.h>

#include <vector>

#include "marks/since_report.h"

namespace kalendo {

void DrawMarksPlot(HDC dc, const RECT& area, const std::vector<marks::OffsetPoint>& series);

}  // namespace kalendo
