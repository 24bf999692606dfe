#include "marks/since_report_html.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "check/check_report.h"
#include "marks/since_text.h"

namespace kalendo::marks {

namespace {

std::string Fmt(const char* format, double v) {
    char text[64];
    std::snprintf(text, sizeof text, format, v);
    return text;
}

constexpr double kLeft = 70, kTop = 12, kWidth = 630, kHeight = 220;
const char* const kSegmentColours[] = {"#0a5ac8", "#009646", "#963cb4", "#d27800"};

// RTC minus true time at each mark, each segment from its own first mark: a set RTC moves the
// offset by anything up to years, and the drift within a segment is what the plot is for.
std::string OffsetPlot(const std::vector<OffsetPoint>& series) {
    std::vector<double> y(series.size());
    double segmentStart = 0;
    for (size_t i = 0; i < series.size(); ++i) {
        if (i == 0 || series[i].segment != series[i - 1].segment) segmentStart = series[i].offsetMs;
        y[i] = series[i].offsetMs - segmentStart;
    }
    double x1 = 0, y0 = 0, y1 = 0;
    for (size_t i = 0; i < series.size(); ++i) {
        x1 = std::max(x1, series[i].days);
        y0 = std::min(y0, y[i] - series[i].boundMs);
        y1 = std::max(y1, y[i] + series[i].boundMs);
    }
    if (!(x1 > 0)) x1 = 1;
    if (!(y1 - y0 > 1e-6)) {
        y0 -= 1;
        y1 += 1;
    }
    const auto X = [&](double v) { return kLeft + v / x1 * kWidth; };
    const auto Y = [&](double v) { return kTop + (y1 - v) / (y1 - y0) * kHeight; };
    std::string s =
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"720\" height=\"280\" viewBox=\"0 0 720 "
        "280\" role=\"img\" aria-label=\"RTC minus reference at each mark\">\n";
    s += "<rect x=\"" + Fmt("%.1f", kLeft) + "\" y=\"" + Fmt("%.1f", kTop) + "\" width=\"" +
         Fmt("%.1f", kWidth) + "\" height=\"" + Fmt("%.1f", kHeight) +
         "\" fill=\"#fff\" stroke=\"#888\"/>\n";
    const auto text = [&](double x, double yy, const std::string& t, const char* anchor) {
        return "<text x=\"" + Fmt("%.1f", x) + "\" y=\"" + Fmt("%.1f", yy) +
               "\" font-size=\"12\" text-anchor=\"" + anchor + "\">" + check::HtmlEscape(t) +
               "</text>\n";
    };
    s += text(kLeft - 6, Y(y1) + 4, Fmt("%+.4g", y1), "end");
    s += text(kLeft - 6, Y(y0) + 4, Fmt("%+.4g", y0), "end");
    s += text(kLeft, kTop + kHeight + 16, "0", "middle");
    s += text(kLeft + kWidth, kTop + kHeight + 16, Fmt("%.4g", x1), "middle");
    s += text(kLeft + kWidth / 2, kTop + kHeight + 36,
              "days since the first mark; RTC minus reference (ms) from each segment's first "
              "mark, bars: strict bound",
              "middle");
    for (size_t i = 0; i < series.size(); ++i) {
        const OffsetPoint& p = series[i];
        const char* colour = kSegmentColours[static_cast<size_t>(std::abs(p.segment)) %
                                             (sizeof kSegmentColours / sizeof *kSegmentColours)];
        if (i > 0 && series[i - 1].segment == p.segment) {
            s += "<line x1=\"" + Fmt("%.1f", X(series[i - 1].days)) + "\" y1=\"" +
                 Fmt("%.1f", Y(y[i - 1])) + "\" x2=\"" + Fmt("%.1f", X(p.days)) + "\" y2=\"" +
                 Fmt("%.1f", Y(y[i])) + "\" stroke=\"" + colour + "\"/>\n";
        } else if (i > 0) {  // the break
            const double bx = (X(series[i - 1].days) + X(p.days)) / 2;
            s += "<line x1=\"" + Fmt("%.1f", bx) + "\" y1=\"" + Fmt("%.1f", kTop) + "\" x2=\"" +
                 Fmt("%.1f", bx) + "\" y2=\"" + Fmt("%.1f", kTop + kHeight) +
                 "\" stroke=\"#bbb\" stroke-dasharray=\"5,4\"/>\n";
        }
        s += "<line x1=\"" + Fmt("%.1f", X(p.days)) + "\" y1=\"" +
             Fmt("%.1f", Y(y[i] - p.boundMs)) + "\" x2=\"" + Fmt("%.1f", X(p.days)) + "\" y2=\"" +
             Fmt("%.1f", Y(y[i] + p.boundMs)) + "\" stroke=\"" + colour + "\"/>";
        s += "<circle cx=\"" + Fmt("%.1f", X(p.days)) + "\" cy=\"" + Fmt("%.1f", Y(y[i])) +
             "\" r=\"3\" fill=\"" + (p.latest ? "#c82828" : colour) + "\"/>\n";
    }
    return s + "</svg>\n";
}

}  // namespace

std::string SinceReportHtml(const SinceReport& report, double tolerancePpm) {
    if (report.series.empty()) return "";
    std::string h =
        "<h2>Long-term marks</h2>\n<table>\n<tr><th>Since mark (UTC)</th><th>Days</th>"
        "<th>Rate since</th><th>Monthly</th><th>Verdict</th><th>Reference then</th>"
        "</tr>\n";
    for (const SinceRow& row : report.rows) {
        const PairRate& p = row.rate;
        h += "<tr><td>" +
             check::HtmlEscape(UtcText(row.earlier.MiddleUtcNanos()).substr(0, 19) + "Z") + "</td>";
        if (p.valid) {
            const check::Verdict v = SinceVerdict(p, tolerancePpm);
            const char* style = v == check::Verdict::Pass   ? "pass"
                                : v == check::Verdict::Fail ? "fail"
                                                            : "undecided";
            h += "<td>" + Fmt("%.3f", p.spanSeconds / 86400) + "</td><td>" + Fmt("%+.3f", p.ppm) +
                 " &plusmn; " + Fmt("%.3f", p.boundPpm) + " ppm (strict bound)</td><td>" +
                 Fmt("%+.2f", p.monthlySeconds) + " &plusmn; " +
                 Fmt("%.2f", p.monthlyBoundSeconds) + " s/month</td><td class=\"" + style + "\">" +
                 check::VerdictWord(v) + "</td>";
        } else {
            h += "<td>-</td><td colspan=\"3\">no rate: " + check::HtmlEscape(p.reason) + "</td>";
        }
        h += "<td>" + check::HtmlEscape(ReferenceShortText(row.earlier)) + "</td></tr>\n";
    }
    h += "</table>\n<p>Aging: " + check::HtmlEscape(AgingText(report.aging)) + "</p>\n";
    h += "<p class=\"note\">" +
         (std::isnan(tolerancePpm)
              ? std::string("No data-sheet figure to judge the rates by.")
              : Fmt("Rates judged against the data sheet's +/-%.1f ppm.", tolerancePpm)) +
         " Each rate is the RTC's mean over the span between two marks, a strict bound: both "
         "marks' brackets and the reference's error at each mark (assumed, or measured against "
         "an NTP server), whatever the luck. A pair across a time write, or whose count of "
         "seconds the system clock cannot explain, gives no rate.</p>\n";
    return h + OffsetPlot(report.series);
}

}  // namespace kalendo::marks
