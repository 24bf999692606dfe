// The console program's own writes of the RTC's time (time set, time sync, date set, a
// register write to a time register or the write guard) go into the mark store as events: a
// pair of marks across one says nothing about the crystal.
#pragma once

#include <cstdint>
#include <string>

#include "cli/command_context.h"

namespace kalendo::cli {

// After the write went out (whether or not it all reached the chip): records what was done on
// the open board. A store that cannot take it is reported on standard error; the command's
// result stands.
void RecordTimeWrite(CommandContext& c, const std::string& what);

}  // namespace kalendo::cli
