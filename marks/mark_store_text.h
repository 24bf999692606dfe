// The mark store's text: a versioned header, then one block per mark or event, one
// "name: value" line per field, as kalendo-cli prints its facts, so that an engineer can read
// the file. Times are UTC with nanoseconds; seconds of the reference are written from whole
// nanoseconds, so that a store read and written again is the same text.
//
//   kalendo mark store 1
//
//   mark
//   board_serial: FT4ZQ8A1
//   board_description: UM232H
//   rtc_model: TQ5100
//   transition_early_utc: 2026-12-11T05:53:24.123456789Z
//   transition_late_utc: 2026-12-11T05:53:24.124301000Z
//   rtc_time: 2026-12-11 06:53:24
//   utc_offset_s: 3600
//   reference: ntp
//   reference_server: pool.ntp.org
//   reference_offset_s: +0.000731000
//   reference_error_s: 0.004211000
//   battery_v: 3.0001
//   temperature_c: 25.02
//   program: kalendo-cli 2.00 build 13
//   seal_written: 0x5A
//   end
//
//   event
//   time_utc: 2026-12-12T08:00:00.000000000Z
//   board_serial: FT4ZQ8A1
//   board_description: UM232H
//   rtc_model: TQ5100
//   what: kalendo-cli time set 14:30:00
//   end
#pragma once

#include <string>

#include "marks/mark_records.h"

namespace kalendo::marks {

constexpr int kMarkStoreFormat = 1;

std::string FormatMarkStore(const MarkStore& store);

// False with the reason ("line 12: unknown field \"colour\"") when the text is not a store this
// program can read; *newerFormat is set when it is one of a later format.
bool ParseMarkStore(const std::string& text, MarkStore* store, std::string* error,
                    bool* newerFormat);

}  // namespace kalendo::marks
