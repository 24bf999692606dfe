#include "app/check_plot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace kalendo {

namespace {

constexpr COLORREF kInk = RGB(0, 0, 0);
constexpr COLORREF kGrid = RGB(200, 200, 200);
constexpr COLORREF kPoints = RGB(0, 90, 200);
constexpr COLORREF kFit = RGB(200, 40, 40);
constexpr COLORREF kBand = RGB(250, 215, 215);
constexpr COLORREF kBattery = RGB(210, 120, 0);

// A linear map from data to pixels for one axis.
struct Axis {
    double low, high;  // data range
    int from, to;      // pixel range (to < from for a y axis)
    int At(double v) const {
        const double span = high > low ? high - low : 1;
        return from + static_cast<int>(std::lround((v - low) / span * (to - from)));
    }
};

void Line(HDC dc, COLORREF colour, int x0, int y0, int x1, int y1) {
    HPEN pen = CreatePen(PS_SOLID, 1, colour);
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, x0, y0, nullptr);
    LineTo(dc, x1, y1);
    SelectObject(dc, old);
    DeleteObject(pen);
}

void Text(HDC dc, int x, int y, const std::string& text, COLORREF colour = kInk) {
    SetTextColor(dc, colour);
    TextOutA(dc, x, y, text.c_str(), static_cast<int>(text.size()));
}

std::string Number(const char* format, double v) {
    char text[32];
    std::snprintf(text, sizeof text, format, v);
    return text;
}

// Frame, title and the range of each axis at its ends.
void Frame(HDC dc, const RECT& r, const char* title, const Axis& x, const Axis& y,
           const char* xUnit, const char* yFormat) {
    HBRUSH white = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    RECT inner = {x.from, y.to, x.to, y.from};
    FillRect(dc, &inner, white);
    Line(dc, kGrid, x.from, y.At(0), x.to, y.At(0));
    Line(dc, kInk, x.from, y.to, x.from, y.from);
    Line(dc, kInk, x.from, y.from, x.to, y.from);
    Text(dc, r.left + 4, r.top + 2, title);
    Text(dc, r.left + 2, y.to, Number(yFormat, y.high));
    Text(dc, r.left + 2, y.from - 14, Number(yFormat, y.low));
    Text(dc, x.from, y.from + 2, Number("%.3g", x.low));
    Text(dc, x.to - 60, y.from + 2, Number("%.3g ", x.high) + xUnit);
}

void DrawAccuracy(HDC dc, const RECT& r, const CheckSnapshot& s) {
    const double counterPpm = s.accuracy.valid ? s.accuracy.counterPpm : 0;
    // The counter's own rate against the reference taken out: RTC minus reference.
    const auto reference = [&](const CheckPlotPoint& p) {
        return p.offsetMs - counterPpm * 1e-3 * p.seconds;
    };
    double tMax = 1, yLow = -1, yHigh = 1, tMean = 0, yMean = 0;
    for (const CheckPlotPoint& p : s.points) {
        tMax = std::max(tMax, p.seconds);
        yLow = std::min(yLow, reference(p) - p.halfWidthMs);
        yHigh = std::max(yHigh, reference(p) + p.halfWidthMs);
        tMean += p.seconds;
        yMean += reference(p);
    }
    if (!s.points.empty()) {
        tMean /= static_cast<double>(s.points.size());
        yMean /= static_cast<double>(s.points.size());
    }
    const Axis x = {0, tMax, static_cast<int>(r.left) + 48, static_cast<int>(r.right) - 8};
    const Axis y = {yLow, yHigh, static_cast<int>(r.bottom) - 18, static_cast<int>(r.top) + 18};
    Frame(dc, r, "RTC minus reference (ms) against time", x, y, "s", "%+.2f");
    if (s.accuracy.valid) {
        // The band holds every line the bound allows through the points' centre.
        const double slope = s.accuracy.ppm * 1e-3, spread = s.accuracy.uncertaintyPpm * 1e-3;
        for (int px = x.from; px <= x.to; px += 2) {
            const double t = x.low + (px - x.from) * (x.high - x.low) / (x.to - x.from);
            const double centre = yMean + slope * (t - tMean);
            const double half = spread * std::fabs(t - tMean);
            const int top = std::max(y.to, y.At(std::min(y.high, centre + half)));
            const int bottom = std::min(y.from, y.At(std::max(y.low, centre - half)));
            if (bottom > top) Line(dc, kBand, px, top, px, bottom);
        }
        Line(dc, kFit, x.At(0), y.At(yMean - slope * tMean), x.At(tMax),
             y.At(yMean + slope * (tMax - tMean)));
    }
    HBRUSH dot = CreateSolidBrush(kPoints);
    for (const CheckPlotPoint& p : s.points) {
        const int px = x.At(p.seconds), py = y.At(reference(p));
        const RECT mark = {px - 1, py - 1, px + 2, py + 2};
        FillRect(dc, &mark, dot);
        Line(dc, kPoints, px, y.At(reference(p) + p.halfWidthMs), px,
             y.At(reference(p) - p.halfWidthMs) + 1);
    }
    DeleteObject(dot);
}

void DrawSweep(HDC dc, const RECT& r, const CheckSnapshot& s) {
    double vLow = 4, vHigh = 0, iHigh = 0.1;
    for (const check::SweepStep& st : s.steps) {
        vLow = std::min(vLow, st.tenths / 10.0);
        vHigh = std::max(vHigh, st.tenths / 10.0);
        if (std::isfinite(st.vddMicroamps)) iHigh = std::max(iHigh, st.vddMicroamps);
        if (std::isfinite(st.batteryMicroamps)) iHigh = std::max(iHigh, st.batteryMicroamps);
    }
    if (vHigh <= vLow) vHigh = vLow + 0.1;
    const Axis x = {vLow, vHigh, static_cast<int>(r.left) + 44, static_cast<int>(r.right) - 8};
    const Axis y = {0, iHigh * 1.1, static_cast<int>(r.bottom) - 18, static_cast<int>(r.top) + 18};
    Frame(dc, r, "Currents (uA) against VDD setting", x, y, "V", "%.2f");
    for (const check::SweepStep& st : s.steps) {
        const int px = x.At(st.tenths / 10.0);
        const int shift = st.falling ? -1 : 1;  // down and up steps side by side
        if (std::isfinite(st.vddMicroamps)) {
            Line(dc, kPoints, px + shift, y.At(0), px + shift, y.At(st.vddMicroamps));
        }
        if (std::isfinite(st.batteryMicroamps)) {
            Line(dc, kBattery, px + 2 * shift, y.At(0), px + 2 * shift, y.At(st.batteryMicroamps));
        }
    }
    // The switch-over (falling) and the lowest answering supply, where measured.
    for (const check::CheckRow& row : s.rows) {
        const bool marked = row.id == check::CheckRowId::SwitchToBattery ||
                            row.id == check::CheckRowId::SupplyMinimum;
        if (!marked || !row.measured || row.value < x.low || row.value > x.high) continue;
        const int px = x.At(row.value);
        Line(dc, kFit, px, y.to, px, y.from);
        Text(dc, px + 2, y.to + (row.id == check::CheckRowId::SupplyMinimum ? 12 : 0),
             row.id == check::CheckRowId::SupplyMinimum ? "lowest answering" : "to battery",
             kFit);
    }
    Text(dc, x.to - 84, y.to + 2, "VDD current", kPoints);
    Text(dc, x.to - 84, y.to + 14, "battery current", kBattery);
}

}  // namespace

void DrawCheckPlots(HDC dc, const RECT& area, const CheckSnapshot& snapshot) {
    FillRect(dc, &area, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    SetBkMode(dc, TRANSPARENT);
    HGDIOBJ oldFont = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    RECT accuracy = area;
    if (!snapshot.steps.empty()) {
        RECT sweep = area;
        accuracy.right = area.left + (area.right - area.left) * 3 / 5;
        sweep.left = accuracy.right + 4;
        DrawSweep(dc, sweep, snapshot);
    }
    DrawAccuracy(dc, accuracy, snapshot);
    SelectObject(dc, oldFont);
}

}  // namespace kalendo
