#include "check/check_report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace kalendo::check {

namespace {

std::string Fmt(const char* format, double value) {
    char text[96];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// Decimals that show the uncertainty to two significant digits (0 to 6).
int DecimalsFor(double uncertainty) {
    if (!(uncertainty > 0) || !std::isfinite(uncertainty)) return 3;
    const int d = 1 - static_cast<int>(std::floor(std::log10(uncertainty)));
    return std::clamp(d, 0, 6);
}

struct Point {
    double x, y;
    double error = 0;  // half-length of a vertical error bar
};

// A plot area with linear axes; every coordinate goes through X() and Y().
class SvgPlot {
  public:
    SvgPlot(double x0, double x1, double y0, double y1) : x0_(x0), x1_(x1), y0_(y0), y1_(y1) {
        if (!(x1_ > x0_)) x1_ = x0_ + 1;
        if (!(y1_ > y0_)) {
            y0_ -= 0.5;
            y1_ += 0.5;
        }
    }
    double X(double x) const { return kLeft + (x - x0_) / (x1_ - x0_) * kWidth; }
    double Y(double y) const { return kTop + (y1_ - y) / (y1_ - y0_) * kHeight; }

    std::string Begin(const std::string& label, const std::string& xTitle,
                      const std::string& yTitle) const {
        std::string s =
            "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"720\" height=\"380\" "
            "viewBox=\"0 0 720 380\" role=\"img\" aria-label=\"" +
            HtmlEscape(label) + "\">\n";
        s += "<rect x=\"" + N(kLeft) + "\" y=\"" + N(kTop) + "\" width=\"" + N(kWidth) +
             "\" height=\"" + N(kHeight) + "\" fill=\"#fff\" stroke=\"#888\"/>\n";
        const double xStep = NiceStep(x1_ - x0_), yStep = NiceStep(y1_ - y0_);
        for (double x = std::ceil(x0_ / xStep) * xStep; x <= x1_ + xStep * 1e-9; x += xStep) {
            s += "<line x1=\"" + N(X(x)) + "\" y1=\"" + N(kTop) + "\" x2=\"" + N(X(x)) +
                 "\" y2=\"" + N(kTop + kHeight) + "\" stroke=\"#eee\"/>\n";
            s += Text(X(x), kTop + kHeight + 16, Tick(x, xStep), "middle");
        }
        for (double y = std::ceil(y0_ / yStep) * yStep; y <= y1_ + yStep * 1e-9; y += yStep) {
            s += "<line x1=\"" + N(kLeft) + "\" y1=\"" + N(Y(y)) + "\" x2=\"" + N(kLeft + kWidth) +
                 "\" y2=\"" + N(Y(y)) + "\" stroke=\"#eee\"/>\n";
            s += Text(kLeft - 6, Y(y) + 4, Tick(y, yStep), "end");
        }
        s += Text(kLeft + kWidth / 2, kTop + kHeight + 36, xTitle, "middle");
        s += "<text x=\"16\" y=\"" + N(kTop + kHeight / 2) +
             "\" font-size=\"12\" text-anchor=\"middle\" transform=\"rotate(-90 16 " +
             N(kTop + kHeight / 2) + ")\">" + HtmlEscape(yTitle) + "</text>\n";
        return s;
    }
    std::string Dots(const std::vector<Point>& points, const char* colour, bool hollow,
                     const char* title) const {
        std::string s = "<g fill=\"" + std::string(hollow ? "none" : colour) + "\" stroke=\"" +
                        colour + "\"><title>" + HtmlEscape(title) + "</title>\n";
        for (const Point& p : points) {
            if (p.error > 0) {
                s += "<line x1=\"" + N(X(p.x)) + "\" y1=\"" + N(Y(p.y - p.error)) + "\" x2=\"" +
                     N(X(p.x)) + "\" y2=\"" + N(Y(p.y + p.error)) + "\" stroke-opacity=\"0.4\"/>";
            }
            s += "<circle cx=\"" + N(X(p.x)) + "\" cy=\"" + N(Y(p.y)) + "\" r=\"2.5\"/>";
        }
        return s + "\n</g>\n";
    }
    std::string Line(double xa, double ya, double xb, double yb, const char* colour,
                     const char* dash = nullptr) const {
        std::string s = "<line x1=\"" + N(X(xa)) + "\" y1=\"" + N(Y(ya)) + "\" x2=\"" + N(X(xb)) +
                        "\" y2=\"" + N(Y(yb)) + "\" stroke=\"" + colour + "\" stroke-width=\"1.5\"";
        if (dash) s += std::string(" stroke-dasharray=\"") + dash + "\"";
        return s + "/>\n";
    }
    std::string Polygon(const std::vector<Point>& corners, const char* colour) const {
        std::string s =
            "<polygon fill=\"" + std::string(colour) + "\" fill-opacity=\"0.15\" points=\"";
        for (const Point& p : corners) s += N(X(p.x)) + "," + N(Y(p.y)) + " ";
        return s + "\"/>\n";
    }
    // A vertical marker across the plot, labelled at its top.
    std::string Marker(double x, const std::string& label, const char* colour, int row) const {
        if (!std::isfinite(x) || x < x0_ || x > x1_) return "";
        return Line(x, y0_, x, y1_, colour, "5,4") + "<text x=\"" + N(X(x) + 4) + "\" y=\"" +
               N(kTop + 14 + 14 * row) + "\" font-size=\"11\" fill=\"" + colour + "\">" +
               HtmlEscape(label) + "</text>\n";
    }
    // Below the axis title, three to a row.
    std::string Legend(int index, const char* colour, const std::string& label) const {
        const double x = kLeft + 215 * (index % 3);
        const double y = kTop + kHeight + 58 + 16 * (index / 3);
        return "<rect x=\"" + N(x) + "\" y=\"" + N(y - 8) + "\" width=\"10\" height=\"8\" fill=\"" +
               colour + "\"/>" + Text(x + 14, y, label, "start");
    }
    static std::string End() { return "</svg>\n"; }

  private:
    static constexpr double kLeft = 70, kTop = 12, kWidth = 630, kHeight = 290;
    static std::string N(double v) { return Fmt("%.1f", v); }
    // 1, 2 or 5 times a power of ten: about five grid lines over the range.
    static double NiceStep(double range) {
        const double rough = range / 5;
        const double power = std::pow(10.0, std::floor(std::log10(rough)));
        for (double m : {1.0, 2.0, 5.0}) {
            if (m * power >= rough) return m * power;
        }
        return 10 * power;
    }
    static std::string Tick(double v, double step) {
        const int d = std::clamp(-static_cast<int>(std::floor(std::log10(step) + 1e-9)), 0, 6);
        char text[48];
        std::snprintf(text, sizeof text, "%.*f", d, std::fabs(v) < 1e-12 ? 0.0 : v);
        return text;
    }
    static std::string Text(double x, double y, const std::string& text, const char* anchor) {
        return "<text x=\"" + N(x) + "\" y=\"" + N(y) + "\" font-size=\"12\" text-anchor=\"" +
               anchor + "\">" + HtmlEscape(text) + "</text>\n";
    }
    double x0_, x1_, y0_, y1_;
};

void Range(const std::vector<Point>& points, double* lo, double* hi, bool x) {
    for (const Point& p : points) {
        const double a = x ? p.x : p.y - p.error;
        const double b = x ? p.x : p.y + p.error;
        if (std::isfinite(a)) *lo = std::min(*lo, a);
        if (std::isfinite(b)) *hi = std::max(*hi, b);
    }
}

// RTC minus reference over the accuracy run, each transition with its bracket, the fitted rate
// and the band its uncertainty allows (pivoting on the middle of the run).
std::string AccuracyPlot(const CheckResult& r) {
    const std::vector<SecondsPoll>& polls = r.drift.polls;
    const AccuracyResult& a = r.drift.accuracy;
    if (!a.valid || a.pollsUsed < 2)
        return "<p>No accuracy plot: " + HtmlEscape(a.error) + "</p>\n";
    const SecondsPoll& first = polls[a.firstPoll];
    // The transition on the system clock: the system reading less the counter time since it.
    const auto systemAt = [](const SecondsPoll& p) {
        return p.systemSeconds - (p.counterAfterSystem - (p.counterBefore + p.counterAfter) / 2);
    };
    const double t0 = systemAt(first);
    std::vector<Point> points;
    const size_t stride = std::max<size_t>(1, a.pollsUsed / 600);  // a readable number of dots
    for (size_t i = a.firstPoll; i < polls.size(); i += stride) {
        const SecondsPoll& p = polls[i];
        const double t = systemAt(p) - t0;
        const double rtc = static_cast<double>(p.rtcSeconds - first.rtcSeconds);
        points.push_back({t, (rtc - t) * 1000, (p.counterAfter - p.counterBefore) / 2 * 1000});
    }
    double mean = 0, meanX = 0;
    for (const Point& p : points) mean += p.y, meanX += p.x;
    mean /= points.size();
    meanX /= points.size();
    const double span = points.back().x;
    const auto fit = [&](double x, double ppm) { return mean + (x - meanX) * ppm * 1e-3; };
    double lo = INFINITY, hi = -INFINITY;
    Range(points, &lo, &hi, false);
    for (double x : {0.0, span}) {
        for (double ppm : {a.ppm - a.uncertaintyPpm, a.ppm + a.uncertaintyPpm}) {
            lo = std::min(lo, fit(x, ppm));
            hi = std::max(hi, fit(x, ppm));
        }
    }
    const SvgPlot plot(0, span, lo, hi);
    std::string s = plot.Begin("RTC minus reference over time", "seconds from the first transition",
                               "RTC minus system clock, ms");
    s += plot.Polygon({{0, fit(0, a.ppm - a.uncertaintyPpm)},
                       {meanX, mean},
                       {span, fit(span, a.ppm + a.uncertaintyPpm)},
                       {span, fit(span, a.ppm - a.uncertaintyPpm)},
                       {meanX, mean},
                       {0, fit(0, a.ppm + a.uncertaintyPpm)}},
                      "#d62728");
    s += plot.Dots(points, "#1f77b4", false, "seconds transitions with their brackets");
    s += plot.Line(0, fit(0, a.ppm), span, fit(span, a.ppm), "#d62728");
    s += plot.Legend(0, "#1f77b4", "transitions (bracket as bar)");
    s += plot.Legend(1, "#d62728",
                     Fmt("fit %+.3f ppm", a.ppm) + Fmt(", band +-%.3f ppm", a.uncertaintyPpm));
    return s + SvgPlot::End();
}

std::string SweepPlot(const CheckResult& r) {
    if (r.sweep.empty()) return "<p>No supply sweep was made.</p>\n";
    std::vector<Point> vddDown, vddUp, batteryDown, batteryUp, silent;
    for (const SweepStep& st : r.sweep) {
        (st.falling ? vddDown : vddUp).push_back({st.vddVolts, st.vddMicroamps});
        (st.falling ? batteryDown : batteryUp).push_back({st.vddVolts, st.batteryMicroamps});
        if (!st.rtcAnswers) silent.push_back({st.vddVolts, st.vddMicroamps});
    }
    std::vector<Point> all = vddDown;
    for (const auto* v : {&vddUp, &batteryDown, &batteryUp})
        all.insert(all.end(), v->begin(), v->end());
    double x0 = INFINITY, x1 = -INFINITY, y0 = 0, y1 = -INFINITY;
    Range(all, &x0, &x1, true);
    Range(all, &y0, &y1, false);
    x0 = std::floor(x0 * 10 - 1) / 10;
    x1 = std::ceil(x1 * 10 + 1) / 10;
    y1 *= 1.35;  // room above the points for the markers' labels
    const SvgPlot plot(x0, x1, y0, y1);
    std::string s = plot.Begin("Supply sweep", "VDD, volts (measured)", "current, uA");
    s += plot.Dots(vddDown, "#1f77b4", false, "VDD current, falling");
    s += plot.Dots(vddUp, "#1f77b4", true, "VDD current, rising");
    s += plot.Dots(batteryDown, "#2ca02c", false, "battery current, falling");
    s += plot.Dots(batteryUp, "#2ca02c", true, "battery current, rising");
    s += plot.Dots(silent, "#000000", true, "RTC not answering");
    const CheckRow& minimum = r.rows[static_cast<size_t>(CheckRowId::SupplyMinimum)];
    const CheckRow& down = r.rows[static_cast<size_t>(CheckRowId::SwitchToBattery)];
    const CheckRow& up = r.rows[static_cast<size_t>(CheckRowId::SwitchToSupply)];
    if (minimum.measured) {
        s +=
            plot.Marker(minimum.value, Fmt("lowest answering %.2f V", minimum.value), "#9467bd", 0);
    }
    if (down.measured)
        s += plot.Marker(down.value, Fmt("to battery %.2f V", down.value), "#ff7f0e", 1);
    if (up.measured) s += plot.Marker(up.value, Fmt("back to VDD %.2f V", up.value), "#8c564b", 2);
    s += plot.Legend(0, "#1f77b4", "VDD current (filled: falling)");
    s += plot.Legend(1, "#2ca02c", "battery current");
    s += plot.Legend(2, "#000000", "ring: RTC not answering");
    return s + SvgPlot::End();
}

// The report shows the sign a reader expects where the line output keeps to ASCII.
std::string PlusMinus(std::string text) {
    const size_t at = text.find("+- ");
    if (at != std::string::npos) text.replace(at, 3, "&plusmn; ");
    return text;
}

const char* kStyle =
    "body{font-family:sans-serif;margin:2em;color:#222}"
    "table{border-collapse:collapse;margin:1em 0}"
    "th,td{border:1px solid #bbb;padding:4px 8px;text-align:left;vertical-align:top}"
    "th{background:#f0f0f0}"
    ".pass{background:#d8f5d8}.fail{background:#f8d0d0}.undecided{background:#fbf0c8}"
    ".note{color:#555;font-size:90%}";

}  // namespace

std::string HtmlEscape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string ValueText(const CheckRow& row) {
    if (!row.measured || !std::isfinite(row.value)) return "-";
    const int d = DecimalsFor(row.uncertainty);
    // Offsets carry their sign; voltages and currents do not need one.
    const bool offset = row.unit == "ppm" || row.unit == "s/month" || row.unit == "ms";
    double value = row.value;
    if (std::fabs(value) < 0.5 * std::pow(10.0, -d)) value = 0;  // no "-0"
    char text[96];
    if (row.uncertainty > 0) {
        std::snprintf(text, sizeof text, offset ? "%+.*f +- %.*f %s" : "%.*f +- %.*f %s", d, value,
                      d, row.uncertainty, row.unit.c_str());
    } else {
        std::snprintf(text, sizeof text, offset ? "%+.*f %s" : "%.*f %s", d, value,
                      row.unit.c_str());
    }
    return text;
}

std::string CheckReportHtml(const CheckResult& r, const ReportInfo& info) {
    const AccuracyResult& a = r.drift.accuracy;
    std::string h = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n";
    h += "<title>Kalendo data-sheet check: " + HtmlEscape(info.model) + "</title>\n";
    h += "<style>" + std::string(kStyle) + "</style>\n</head>\n<body>\n";
    h += "<h1>Data-sheet check: " + HtmlEscape(info.model) + "</h1>\n<table>\n";
    const auto fact = [&](const char* name, const std::string& value) {
        h += "<tr><th>" + std::string(name) + "</th><td>" + HtmlEscape(value) + "</td></tr>\n";
    };
    fact("Board", info.board);
    fact("Model", info.model);
    fact("Date", info.date);
    std::string reference =
        std::string(a.reference) +
        (info.referenceText.empty()
             ? Fmt(", assumed within +-%.1f ms of true time", info.referenceErrorMs)
             : ", " + info.referenceText);
    if (a.valid) {
        reference += Fmt("; performance counter %+.2f ppm against it", a.counterPpm);
        if (!a.steps.empty()) {
            reference += Fmt("; %.0f step(s) of the system clock found, polls after the last used",
                             static_cast<double>(a.steps.size()));
        }
    }
    fact("Reference", reference);
    std::string conditions = Fmt("accuracy run %.1f min at a 3.0 V supply", info.accuracyMinutes);
    if (std::isfinite(r.boardCelsius)) conditions += Fmt("; board %.1f C at the start", r.boardCelsius);
    if (std::isfinite(r.minCelsius)) {
        conditions += Fmt("; %.1f", r.minCelsius) +
                      Fmt(" to %.1f C during the accuracy run (power monitor, +-1 C)", r.maxCelsius);
    }
    if (std::isfinite(r.batteryVolts)) conditions += Fmt("; battery %.2f V", r.batteryVolts);
    if (std::isfinite(r.startVddVolts)) conditions += Fmt("; VDD found at %.2f V", r.startVddVolts);
    conditions += Fmt("; sweep floor %.1f V", r.floorVolts);
    fact("Conditions", conditions);
    std::string outcome = r.error.empty() ? (r.interrupted ? "interrupted" : "completed") : r.error;
    fact("Run", outcome);
    fact("Board left", r.boardState);
    h += "</table>\n<h2>Rows</h2>\n<table>\n<tr><th>Row</th><th>Data sheet</th><th>Measured</th>"
         "<th>Uncertainty</th><th>Verdict</th><th>How</th></tr>\n";
    for (const CheckRow& row : r.rows) {
        const char* verdict = VerdictWord(row.verdict);
        const char* style = row.verdict == Verdict::Pass   ? "pass"
                            : row.verdict == Verdict::Fail ? "fail"
                                                           : "undecided";
        h += "<tr><td>" + HtmlEscape(row.name) + "</td><td>" + HtmlEscape(row.figure) +
             "</td><td>" + PlusMinus(HtmlEscape(ValueText(row))) + "</td><td>" +
             (row.measured ? HtmlEscape(BoundText(row)) : std::string("-")) + "</td><td class=\"" +
             style + "\">" + HtmlEscape(verdict) + "</td><td class=\"note\">" + HtmlEscape(row.note) +
             "</td></tr>\n";
    }
    h += "</table>\n<h2>RTC minus reference</h2>\n" + AccuracyPlot(r);
    h += "<h2>Supply sweep</h2>\n" + SweepPlot(r);
    h += info.longTermHtml;
    h += "<p class=\"note\">What each uncertainty is. Frequency Tolerance and Monthly Deviation: a "
         "strict bound on the RTC's mean offset between the two marks near the ends of the run; "
         "it holds when every poll's bracket holds its transition, the RTC's rate against the "
         "PC's counter wanders by less than 1 ppm within 30 s of each mark, and the system clock "
         "is within the stated error of true time at each mark. The monthly row is the same "
         "offset over 30 days. Currents: a statistical interval of about 95 % coverage (twice "
         "the standard error of the mean) widened by the power monitor's gain error (0.05 %, "
         "its data sheet) and twice its resolution (once for the reading, once standing in for "
         "the offset its data sheet's summary does not give). Supply minimum and switch-overs: "
         "a strict bound, the threshold lying between two neighbouring steps of the sweep, widened "
         "by the monitor's gain error and resolution. VCLK (timekeeping): a strict bound, the two "
         "anchors' brackets on the counter and the accuracy run's rate bound over the sweep. A "
         "typical figure exceeded reads \"above typical\", which the data sheet does not forbid; "
         "a figure stated at a temperature the board did not have gives no plain verdict.</p>\n";
    return h + "</body>\n</html>\n";
}

std::string TimeLeftText(double seconds) {
    const long s = std::lround(seconds);
    return s >= 60 ? std::to_string(s / 60) + " min " + std::to_string(s % 60) + " s left"
                   : std::to_string(s) + " s left";
}

std::string CheckDateText(const LocalTime& t) {
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d (PC local time)", t.year,
                  t.month, t.day, t.hour, t.minute, t.second);
    return text;
}

}  // namespace kalendo::check
