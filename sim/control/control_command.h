// The commands that steer the simulated board while a program runs, one per line. The same
// words are used in the control file another process writes (kalendo-sim-ctl) and by
// KalendoSim_Execute. Each is a setting of board_settings.h, for example:
//   unplug | plugback
//   ack <address> on|off         the chip at the 7-bit address stops / resumes answering
//   supply <volts> | supply auto  force the RTC supply rail / back to the power monitor's output
//   short-read <n>|always|off    the nth FT_Read from now (or every one) returns FT_OK with half
// and the others as their usage texts in the table give them.
#pragma once

#include <cstdint>
#include <string>

#include "sim/control/board_settings.h"

namespace kalendo::sim {

// False with a message for a line that is not a command; blank lines and lines starting with
// '#' are not commands either (false, empty message).
bool ParseControlCommand(const std::string& line, ControlCommand* command, std::string* error);

}  // namespace kalendo::sim
