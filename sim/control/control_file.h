// The control file through which another process steers the simulated board: kalendo-sim-ctl
// appends one command per line (control_command.h); the library takes the file and runs its
// commands at its next call. Path: KALENDO_SIM_CONTROL, or %TEMP%\kalendo-sim-control.txt on
// Windows ($TMPDIR or /tmp natively).
#pragma once

#include <string>

namespace kalendo::sim {

std::string DefaultControlFile();
// KALENDO_SIM_CONTROL when set, else DefaultControlFile().
std::string ControlFileFromEnvironment();
bool AppendControlCommand(const std::string& file, const std::string& line, std::string* error);

}  // namespace kalendo::sim
