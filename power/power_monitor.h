// The ISL28023 power monitor as the Power and FOUT page uses it: one reading of the five
// quantities, averaging into display units, and programming the RTC's supply voltage.
#pragma once

#include <cstdint>

#include "bridge/bridge_state.h"
#include "bridge/register_port.h"

namespace kalendo {

enum MeasurementChannel : int {
    kVddVoltage = 0,
    kVddCurrent,
    kBatteryVoltage,
    kBatteryCurrent,
    kTemperature,
    kMeasurementChannels
};

// Command code of each channel, in channel order.
extern const uint8_t kMeasurementCommands[kMeasurementChannels];

// Averaged values in display units: volts, the page's current unit, degrees Celsius.
struct PowerReadings {
    float vddVoltage;
    float vddCurrent;
    float batteryVoltage;
    float batteryCurrent;
    float temperature;
};

// Configuration byte (command 0xE4) and level byte (command 0xE3) of one supply setting.
struct SupplyLevel {
    uint8_t configuration;
    uint8_t level;
};

constexpr int kMinSupplyTenths = 1;
constexpr int kMaxSupplyTenths = 40;
// Indexed by the setting in tenths of a volt; row 0 is unused.
extern const SupplyLevel SupplyLevelTable[kMaxSupplyTenths + 1];

constexpr uint8_t kSupplyLevelCommand = 0xE3;
constexpr uint8_t kSupplyConfigCommand = 0xE4;
constexpr uint8_t kSupplyOutputEnable = 0x04;  // bit of the configuration byte
constexpr uint8_t kSupplyUpperRange = 0x10;    // bit of the configuration byte: 3.5 V and up

// The battery counts as in use from this battery current on.
constexpr float kBatteryInUseCurrent = 0.025f;

// Every transfer goes through the power monitor's port, which names its device, so nothing is
// left selected for the next RTC operation. The caller checks that a board is connected.
class PowerMonitor {
  public:
    static constexpr uint32_t kSlots = 25;

    uint32_t SampleSet[kMeasurementChannels][kSlots] = {};
    uint32_t sampleCount = 10;  // readings per averaged value (the page uses 5 to 20)
    uint32_t sampleIndex = 0;   // slot the next reading fills

    // One reading of all five channels into slot sampleIndex (which it does not move). False
    // when a read failed: its fallback code is in the slot and is no measurement, and the
    // failure stays in BusStatus. When another program kept the bus for the action's wait the
    // slot is left as it was (BusHeldElsewhere tells the two apart).
    bool SampleChannels(RegisterPort& powerMonitor);
    bool SampleChannels(DeviceHandle powerMonitor, DeviceHandle rtc);  // for kalendo-cli
    // Means of slots 0..sampleCount-1 in display units. batteryInUse follows the battery
    // current; a value that is not a number (no samples) leaves it as it was.
    PowerReadings AverageChannels(bool& batteryInUse) const;
    // Programs supply setting tenths (1..40); other values are ignored. When the supply
    // configuration cannot be read nothing is written (its other bits would be lost); the
    // failure stays in BusStatus.
    // (ApplySupplyVoltage in power/power_monitor_operations.h.)
    void ApplySupplyVoltage(int tenths, DeviceHandle powerMonitor, DeviceHandle rtc);  // kalendo-cli
};

}  // namespace kalendo
