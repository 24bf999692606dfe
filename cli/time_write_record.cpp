#include "cli/time_write_record.h"

#include "marks/time_write_event.h"

namespace kalendo::cli {

void RecordTimeWrite(CommandContext& c, const std::string& what) {
    if (c.markStorePath.empty()) return;
    const marks::StoreResult added = marks::RecordTimeWrite(
        c.model == RtcModelChoice::Tq5200 ? "TQ5200" : "TQ5100", "kalendo-cli " + what,
        c.markStorePath, c.markClocks.systemUtcNanos ? c.markClocks.systemUtcNanos() : 0);
    if (!added.ok()) {
        c.errors +=
            "kalendo-cli: the time write is not recorded in the mark store: " + added.message +
            "\n";
    }
}

}  // namespace kalendo::cli
