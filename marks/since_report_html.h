// The long-term part of the data-sheet check's HTML report: the rate since each earlier mark
// of the board with its strict bound and verdict, the aging line, and a small plot of RTC minus
// true time at each mark against days (each mark's bound as a bar, segments across a break
// drawn apart). Empty for a board without marks.
#pragma once

#include <string>

#include "marks/since_report.h"

namespace kalendo::marks {

// `tolerancePpm`: the data sheet's +-figure the rates are judged by (NaN: none).
std::string SinceReportHtml(const SinceReport& report, double tolerancePpm);

}  // namespace kalendo::marks
