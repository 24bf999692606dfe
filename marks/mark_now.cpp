#include "marks/mark_now.h"

namespace kalendo::marks {

MarkNowResult MarkNow(RegisterPort& rtc, RegisterPort& monitor, const MarkClocks& clocks,
                      const TakeMarkSettings& settings, const std::string& storePath) {
    MarkNowResult r;
    const MarkStoreFile file(storePath);
    MarkStore store;
    r.stored = file.Load(&store);
    if (!r.stored.ok()) return r;
    r.taken = TakeMark(rtc, monitor, clocks, settings);
    if (!r.taken.ok) return r;
    r.stored = file.AddMark(r.taken.mark);
    r.report = ReportSince(store, r.taken.mark);
    return r;
}

bool LatestReport(const std::string& storePath, const BoardIdentity& board, SinceReport* report,
                  std::string* message) {
    message->clear();
    MarkStore store;
    const StoreResult loaded = MarkStoreFile(storePath).Load(&store);
    if (!loaded.ok()) {
        *message = loaded.message;
        return false;
    }
    const Mark* latest = nullptr;
    for (const Mark& m : store.marks) {
        if (m.board == board && (!latest || m.MiddleUtcNanos() > latest->MiddleUtcNanos())) {
            latest = &m;
        }
    }
    if (!latest) return false;
    *report = ReportSince(store, *latest);
    return true;
}

}  // namespace kalendo::marks
