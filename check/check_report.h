// The data-sheet check's report: one self-contained HTML file (inline styles and SVG plots, no
// scripts, nothing to download) that opens in any browser.
#pragma once

#include <string>

#include "power/local_time.h"
#include "check/datasheet_check.h"

namespace kalendo::check {

// What the report says about the run besides its result; shown as given (escaped).
struct ReportInfo {
    std::string model;  // "TQ5100"
    std::string board;  // the bridge and board as found
    std::string date;   // when the check ran
    double referenceErrorMs = 10;
    double accuracyMinutes = 0;
    // Where the reference was measured: what each end used, in place of the assumed error.
    std::string referenceText;
    // The board's long-term marks (marks::SinceReportHtml), after the plots; may be empty.
    std::string longTermHtml;
};

std::string CheckReportHtml(const CheckResult& result, const ReportInfo& info);

// Text for HTML content and attribute values: & < > " ' escaped.
std::string HtmlEscape(const std::string& text);

// "2 min 5 s left", "40 s left": the progress line's and the window's remaining time.
std::string TimeLeftText(double seconds);

// "2026-12-11 02:30:00 (PC local time)": when a check ran, as the report and the window give it.
std::string CheckDateText(const LocalTime& t);

// "+1.234 +- 0.567 ppm", with decimals to suit the uncertainty.
std::string ValueText(const CheckRow& row);

}  // namespace kalendo::check
