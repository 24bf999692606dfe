// The ISL28023 power monitor's operations over its port: its identity (which is also the board's
// presence), its set-up at Connect, one reading of the five channels, and a supply change.
#pragma once

#include <cstdint>

#include "bridge/register_port.h"
#include "power/power_monitor.h"

namespace kalendo {

// The device table's names (both RTC models answer at one address, through the one entry).
constexpr const char* kPowerMonitorName = "ISL28023";
constexpr const char* kRtcDeviceName = "Novar TQ5100";

// The power monitor's identification block starts with a length of 8 and "ISL". Another chip
// answering at 0x40 would read without a failure; the identification tells.
constexpr uint8_t kPowerMonitorIdRegister = 0xAD;
constexpr uint32_t kPowerMonitorId = 0x0849534C;

// The monitor answers with its identification: it, and with it the board, is there.
bool PowerMonitorIdentifies(RegisterPort& monitor);

// The six set-up writes of Connect; the last three set the RTC supply to 3.5 V. Every write is
// tried; true when all reached the chip.
bool InitialisePowerMonitor(RegisterPort& monitor);

// Programs supply setting tenths (1..40): configuration with the output off, the level, then the
// row's configuration with the output on. Nothing is written when the configuration cannot be
// read (its other bits would be lost). Once the output went off, the final write is sent even if
// the board fell silent in between, so the supply never stays off while the page shows the old
// one. False for a setting out of range or any transfer that failed.
bool ApplySupplyVoltage(RegisterPort& monitor, int tenths);

// The supply generator's two registers as they stand: what a change that must be undone saves.
struct SupplyRegisters {
    uint8_t configuration;  // command 0xE4: output enable, range
    uint8_t level;          // command 0xE3
};

// False when either read failed.
bool ReadSupplyRegisters(RegisterPort& monitor, SupplyRegisters* saved);

// Moves the supply to setting tenths (1..40) with the output kept on: the level alone when the
// range stays, so the rail steps straight from the old voltage to the new one. ApplySupplyVoltage
// switches the output off first, and the rail passing through 0 V would hand the RTC to its
// battery on every step; a threshold sweep must not do that. When the range or the output bit
// changes the two writes are ordered so that the rail in between stands at a level of the lower
// range (or off), never above both settings. False for a setting out of range, an unreadable
// configuration (nothing written) or a write that failed.
bool ChangeSupplyLevel(RegisterPort& monitor, int tenths);

// Writes back registers saved by ReadSupplyRegisters, in the same order rule, with WriteAlways:
// the clean-up of a check goes out even after the board fell silent. When the configuration as it
// stands cannot be read, the level goes first, then the configuration.
bool RestoreSupplyRegisters(RegisterPort& monitor, const SupplyRegisters& saved);

// One reading of one channel in display units (volts, microamps, degrees Celsius), from its code
// as the chip gives it (no averaging, so nothing of the code is lost). False when the read failed.
bool ReadMeasurement(RegisterPort& monitor, MeasurementChannel channel, double* value);

// The smallest step of a channel's reading, in its display unit.
double MeasurementResolution(MeasurementChannel channel);

// One reading of the battery current: whether the RTC runs from its battery, by the same rule as
// the averaged values (kBatteryInUseCurrent). One 16-bit read; false when it failed.
bool ReadBatteryInUse(RegisterPort& monitor, bool* inUse);

}  // namespace kalendo
