// The program's own writes of an RTC's time, recorded in the mark store: a pair of marks across
// one says nothing about the crystal. The window's pages call RecordTimeWrite after "Set RTC
// Time", "Synchronize" and "Set RTC Date", and after a Registers page write that WritesRtcTime()
// says touches the time or its write guard; kalendo-cli after its own.
#pragma once

#include <cstdint>
#include <string>

#include "marks/mark_store_file.h"

namespace kalendo::marks {

// On the open board (board 0's serial and description, with `model`), now on the system clock.
StoreResult RecordTimeWrite(const std::string& model, const std::string& what,
                            const std::string& storePath);
StoreResult RecordTimeWrite(const std::string& model, const std::string& what,
                            const std::string& storePath, int64_t utcNanos);

}  // namespace kalendo::marks
