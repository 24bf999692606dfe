#include "marks/since_report.h"

#include <algorithm>
#include <cstdio>

namespace kalendo::marks {

namespace {

bool SameMark(const Mark& a, const Mark& b) {
    return a.board == b.board && a.earlyUtcNanos == b.earlyUtcNanos &&
           a.lateUtcNanos == b.lateUtcNanos;
}

}  // namespace

SinceReport ReportSince(const MarkStore& store, const Mark& latest, const PairSettings& settings) {
    SinceReport report;
    std::vector<const Mark*> board;  // this board and model, before the new mark
    for (const Mark& m : store.marks) {
        if (SameMark(m, latest)) continue;
        if (!m.board.SameBridge(latest.board)) {
            ++report.otherBoardMarks;
            continue;
        }
        if (m.MiddleUtcNanos() >= latest.MiddleUtcNanos()) continue;  // a later mark: not "since"
        report.rows.push_back({m, RateBetween(m, latest, store, settings)});
        if (m.board.model == latest.board.model) board.push_back(&m);
    }
    std::sort(report.rows.begin(), report.rows.end(), [](const SinceRow& a, const SinceRow& b) {
        return a.earlier.MiddleUtcNanos() < b.earlier.MiddleUtcNanos();
    });
    std::sort(board.begin(), board.end(), [](const Mark* a, const Mark* b) {
        return a->MiddleUtcNanos() < b->MiddleUtcNanos();
    });
    board.push_back(&latest);

    // Breaks between neighbours; the aging is fitted over the run of marks after the last one.
    std::vector<int> segment(board.size(), 0);
    for (size_t i = 1; i < board.size(); ++i) {
        const bool unbroken = RateBetween(*board[i - 1], *board[i], store, settings).valid;
        segment[i] = segment[i - 1] + (unbroken ? 0 : 1);
    }
    const Mark& first = *board.front();
    double firstLow, firstHigh;
    TrueInstant(first, first.earlyUtcNanos, &firstLow, &firstHigh);
    const double firstMiddle = (firstLow + firstHigh) / 2;
    std::vector<AgingPoint> points;
    for (size_t i = 0; i < board.size(); ++i) {
        const Mark& m = *board[i];
        double low, high;
        TrueInstant(m, first.earlyUtcNanos, &low, &high);
        const double counted =
            static_cast<double>(RtcSecondsSince2000(m.rtc) - RtcSecondsSince2000(first.rtc));
        OffsetPoint p;
        p.days = ((low + high) / 2 - firstMiddle) / 86400;
        p.offsetMs = (counted - ((low + high) / 2 - firstMiddle)) * 1000;
        p.boundMs = (high - low) / 2 * 1000;
        p.segment = segment[i];
        p.latest = i + 1 == board.size();
        report.series.push_back(p);
        if (segment[i] == segment.back()) {
            points.push_back({low, high, RtcSecondsSince2000(m.rtc)});
        }
    }
    const double spanDays =
        points.size() < 2 ? 0 : (points.back().highSeconds - points.front().lowSeconds) / 86400;
    if (points.size() >= 3 && spanDays < kLeastAgingSpanDays) {
        char text[160];
        std::snprintf(
            text, sizeof text,
            "the %zu marks since the last break span %.2f days; aging needs a day or more",
            points.size(), spanDays);
        report.aging.reason = text;
        return report;
    }
    report.aging = FitAging(points);
    return report;
}

}  // namespace kalendo::marks
