#include "cli/time_write_record.h"

#include "marks/board_identity.h"
#include "marks/mark_store_file.h"

namespace kalendo::cli {

void RecordTimeWrite(CommandContext& c, const std::string& what) {
    if (c.markStorePath.empty()) return;
    marks::TimeWriteEvent event;
    event.utcNanos = c.markClocks.systemUtcNanos ? c.markClocks.systemUtcNanos() : 0;
    event.board = marks::OpenBoardIdentity(c.model == RtcModelChoice::Tq5200 ? "TQ5200" : "TQ5100");
    event.what = "kalendo-cli " + what;
    const marks::StoreResult added = marks::MarkStoreFile(c.markStorePath).AddEvent(event);
    if (!added.ok()) {
        c.errors += "kalendo-cli: the time write is not recorded in the mark store: " +
                    added.message + "\n";
    }
}

}  // namespace kalendo::cli
