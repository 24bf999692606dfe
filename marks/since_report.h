// What `kalendo-cli since` and the Data Sheet Check window show for a new mark: the RTC's
// rate since each earlier mark of the board (or why that pair says nothing), the aging over the
// marks since the last break, and the RTC's offset from true time at every mark for a plot.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "marks/aging_fit.h"
#include "marks/mark_pair_rate.h"
#include "marks/mark_records.h"

namespace kalendo::marks {

struct SinceRow {
    Mark earlier;
    PairRate rate;  // from `earlier` to the new mark
};

// The RTC minus true time at a mark, from the first mark of the board: days and milliseconds.
struct OffsetPoint {
    double days = 0;
    double offsetMs = 0;
    double boundMs = 0;  // the true offset lies within offsetMs +- boundMs
    int segment = 0;     // marks across a break (a time write, a set or stopped RTC) differ
    bool latest = false;
};

struct SinceReport {
    std::vector<SinceRow> rows;       // the bridge's earlier marks, oldest first
    AgingFit aging;                   // over the marks since the last break, the new one included
    std::vector<OffsetPoint> series;  // the board's marks, oldest first, the new one last
    size_t otherBoardMarks = 0;       // marks of other boards in the store
};

// Aging is fitted over marks that span at least this long: over less, the change of rate is
// lost in the marks' own bounds, and a figure of millions of ppm a year would only mislead.
constexpr double kLeastAgingSpanDays = 1.0;

// `latest` may be in the store already (it is then taken once).
SinceReport ReportSince(const MarkStore& store, const Mark& latest,
                        const PairSettings& settings = PairSettings());

}  // namespace kalendo::marks
