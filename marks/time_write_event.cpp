#include "marks/time_write_event.h"

#include "marks/board_identity.h"
#include "ntp/ntp_clocks.h"

namespace kalendo::marks {

StoreResult RecordTimeWrite(const std::string& model, const std::string& what,
                            const std::string& storePath) {
    return RecordTimeWrite(model, what, storePath, ntp::SystemUtcNanos());
}

StoreResult RecordTimeWrite(const std::string& model, const std::string& what,
                            const std::string& storePath, int64_t utcNanos) {
    TimeWriteEvent event;
    event.utcNanos = utcNanos;
    event.board = OpenBoardIdentity(model);
    event.what = what;
    return MarkStoreFile(storePath).AddEvent(event);
}

}  // namespace kalendo::marks
