// The bridge's output that gates the RTC's FOUT clock (pin 3 of its upper port).
#pragma once

namespace kalendo {

// Drives the gate high (FOUT on) or low. True when the bridge took the command; a failure also
// reaches every live BusAction. With no channel open nothing is sent and the result is false.
bool SetFoutGate(bool high);

}  // namespace kalendo
