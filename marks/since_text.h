// The words for a since report, shared by kalendo-cli and the window: one line per earlier mark
// and the aging line, each figure with its bound and what kind of bound it is.
#pragma once

#include <string>

#include "marks/since_report.h"
#include "check/model_figures.h"

namespace kalendo::marks {

// "ntp pool.ntp.org, 0.391 ms", "assumed, 10.000 ms": the reference a mark used.
std::string ReferenceShortText(const Mark& mark);

// The verdict of a pair against the data sheet's +-tolerance (Undecided without a figure, NaN).
check::Verdict SinceVerdict(const PairRate& rate, double tolerancePpm);

// "since 2026-06-09T10:13:33Z (ntp time.example, 0.391 ms): 1.000 days, +1.000 +- 0.021 ppm
// (strict bound), +2.59 +- 0.05 s/month (x 30 days) (data sheet: +/-3.8 ppm): pass", or
// "since ...: no rate: <reason>".
std::string SinceRowText(const SinceRow& row, double tolerancePpm);

// "+2.98 +- 0.12 ppm/year over 13 marks and 60.0 days (strict bound, for a rate that changes
// steadily); rate now +2.493 +- 0.011 ppm", or "none: <reason>".
std::string AgingText(const AgingFit& aging);

}  // namespace kalendo::marks
