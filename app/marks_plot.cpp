#include "app/marks_plot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace kalendo {

namespace {

constexpr COLORREF kInk = RGB(0, 0, 0);
constexpr COLORREF kGrid = RGB(200, 200, 200);
constexpr COLORREF kLatest = RGB(200, 40, 40);
// One colour a segment, in turn: a break is seen at a glance.
constexpr COLORREF kSegments[] = {RGB(0, 90, 200), RGB(0, 150, 70), RGB(150, 60, 180),
                                  RGB(210, 120, 0)};

struct Axis {
    double low, high;  // data range
    int from, to;      // pixel range (to < from for a y axis)
    int At(double v) const {
        const double span = high > low ? high - low : 1;
        return from + static_cast<int>(std::lround((v - low) / span * (to - from)));
    }
};

void Line(HDC dc, COLORREF colour, int width, int x0, int y0, int x1, int y1) {
    HPEN pen = CreatePen(PS_SOLID, width, colour);
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, x0, y0, nullptr);
    LineTo(dc, x1, y1);
    SelectObject(dc, old);
    DeleteObject(pen);
}

void Text(HDC dc, int x, int y, const std::string& text) {
    SetTextColor(dc, kInk);
    TextOutA(dc, x, y, text.c_str(), static_cast<int>(text.size()));
}

std::string Number(const char* format, double v) {
    char text[32];
    std::snprintf(text, sizeof text, format, v);
    return text;
}

}  // namespace

void DrawMarksPlot(HDC dc, const RECT& area, const std::vector<marks::OffsetPoint>& series) {
    FillRect(dc, &area, static_cast<HBRUSH>(GetSysColorBrush(COLOR_BTNFACE)));
    SetBkMode(dc, TRANSPARENT);
    HGDIOBJ oldFont = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    Text(dc, area.left + 4, area.top + 2,
         "RTC minus reference (ms) from each segment's first mark; bars: strict bound");
    if (series.empty()) {
        Text(dc, area.left + 4, area.top + 22, "No marks of this board yet");
        SelectObject(dc, oldFont);
        return;
    }
    // A set RTC moves the offset by anything up to years: each segment is drawn from its own
    // first mark, so the drift within it shows; a break starts anew at zero.
    std::vector<marks::OffsetPoint> shown = series;
    double segmentStart = 0;
    for (size_t i = 0; i < shown.size(); ++i) {
        if (i == 0 || shown[i].segment != series[i - 1].segment) segmentStart = series[i].offsetMs;
        shown[i].offsetMs = series[i].offsetMs - segmentStart;
    }
    double xHigh = 0, yLow = 0, yHigh = 0;
    for (const marks::OffsetPoint& p : shown) {
        xHigh = std::max(xHigh, p.days);
        yLow = std::min(yLow, p.offsetMs - p.boundMs);
        yHigh = std::max(yHigh, p.offsetMs + p.boundMs);
    }
    if (xHigh <= 0) xHigh = 1;
    if (yHigh - yLow < 1e-3) {
        yLow -= 1;
        yHigh += 1;
    }
    const double margin = (yHigh - yLow) * 0.05;
    const Axis x = {0, xHigh, static_cast<int>(area.left) + 52, static_cast<int>(area.right) - 10};
    const Axis y = {yLow - margin, yHigh + margin, static_cast<int>(area.bottom) - 20,
                    static_cast<int>(area.top) + 20};
    RECT inner = {x.from, y.to, x.to, y.from};
    FillRect(dc, &inner, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    Line(dc, kGrid, 1, x.from, y.At(0), x.to, y.At(0));
    Line(dc, kInk, 1, x.from, y.to, x.from, y.from);
    Line(dc, kInk, 1, x.from, y.from, x.to, y.from);
    Text(dc, area.left + 2, y.to, Number("%+.4g", y.high));
    Text(dc, area.left + 2, y.from - 14, Number("%+.4g", y.low));
    Text(dc, x.from, y.from + 2, "0");
    const std::string days = Number("%.4g days", xHigh);
    Text(dc, x.to - 8 * static_cast<int>(days.size()) + 8, y.from + 2, days);

    const marks::OffsetPoint* before = nullptr;
    for (const marks::OffsetPoint& p : shown) {
        const COLORREF colour = kSegments[static_cast<size_t>(std::abs(p.segment)) %
                                          (sizeof kSegments / sizeof *kSegments)];
        const int px = x.At(p.days);
        const int py = y.At(p.offsetMs);
        if (before && before->segment == p.segment) {
            Line(dc, colour, 1, x.At(before->days), y.At(before->offsetMs), px, py);
        } else if (before) {  // the break, between the two marks
            const int bx = (x.At(before->days) + px) / 2;
            Line(dc, kGrid, 1, bx, y.to, bx, y.from);
        }
        Line(dc, colour, 1, px, y.At(p.offsetMs - p.boundMs), px, y.At(p.offsetMs + p.boundMs));
        Line(dc, colour, 1, px - 3, y.At(p.offsetMs - p.boundMs), px + 4,
             y.At(p.offsetMs - p.boundMs));
        Line(dc, colour, 1, px - 3, y.At(p.offsetMs + p.boundMs), px + 4,
             y.At(p.offsetMs + p.boundMs));
        RECT dot = {px - 2, py - 2, px + 3, py + 3};
        HBRUSH brush = CreateSolidBrush(p.latest ? kLatest : colour);
        FillRect(dc, &dot, brush);
        DeleteObject(brush);
        before = &p;
    }
    SelectObject(dc, oldFont);
}

}  // namespace kalendo
