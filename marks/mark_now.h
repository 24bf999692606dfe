// The Data Sheet Check window's long-term part in one place: "Mark now" takes a mark on the
// connected board, stores it and compares it with the board's earlier marks; the table and the
// plot of the marks taken before come from the store alone.
#pragma once

#include <string>

#include "marks/mark_store_file.h"
#include "marks/since_report.h"
#include "marks/take_mark.h"

namespace kalendo::marks {

struct MarkNowResult {
    TakenMark taken;     // ok false: taken.error says why, nothing stored
    StoreResult stored;  // the store's answer (a damaged store is refused before the board)
    SinceReport report;  // the rows, the aging and the plot's points, the new mark last
};

// Reads the store first (a store that cannot be read leaves the board untouched), then takes
// the mark with `settings` (their board and program fields name it), adds it and compares.
MarkNowResult MarkNow(RegisterPort& rtc, RegisterPort& monitor, const MarkClocks& clocks,
                      const TakeMarkSettings& settings, const std::string& storePath);

// The board's marks compared with its latest, for the table and the plot before any new mark;
// false with the store's message, or when the board has no mark yet (message empty).
bool LatestReport(const std::string& storePath, const BoardIdentity& board, SinceReport* report,
                  std::string* message);

}  // namespace kalendo::marks
