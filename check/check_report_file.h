// The report as both front ends write it: filled from the check's result and the board the
// bridge's table names, and written to one file.
#pragma once

#include <string>

#include "bridge/bridge_state.h"
#include "check/check_report.h"

namespace kalendo::check {

// The board a device sits on, as the bridge's board table has it: "UM232H, serial FT1A2B3C
// (board 1)", with ", simulated board" when the loaded library is the simulated one.
std::string BoardNameOf(DeviceHandle device);

// Writes the report of `result`; false when the file could not be made or written whole.
bool WriteCheckReport(const std::string& path, const CheckResult& result, const ReportInfo& info);

}  // namespace kalendo::check
