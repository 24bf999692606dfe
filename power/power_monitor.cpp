#include "power/power_monitor.h"

#include <cmath>
#include <limits>

#include "bridge/bus_action.h"
#include "bridge/register_access.h"
#include "power/power_monitor_operations.h"

namespace kalendo {

const uint8_t kMeasurementCommands[kMeasurementChannels] = {
    0x8B,  // VDD voltage (READ_VOUT)
    0xD6,  // VDD current
    0xE1,  // battery voltage
    0xE0,  // battery current
    0x8D,  // temperature (READ_TEMPERATURE_1)
};

// clang-format off
const SupplyLevel SupplyLevelTable[kMaxSupplyTenths + 1] = {
    {0x00, 0},
    // 0.1 V .. 3.4 V
    {0x2F, 7},   {0x2F, 14},  {0x2F, 21},  {0x2F, 28},  {0x2F, 36},  {0x2F, 43},  {0x2F, 50},
    {0x2F, 57},  {0x2F, 65},  {0x2F, 72},  {0x2F, 79},  {0x2F, 86},  {0x2F, 94},  {0x2F, 101},
    {0x2F, 108}, {0x2F, 115}, {0x2F, 123}, {0x2F, 130}, {0x2F, 137}, {0x2F, 144}, {0x2F, 152},
    {0x2F, 159}, {0x2F, 166}, {0x2F, 173}, {0x2F, 181}, {0x2F, 188}, {0x2F, 195}, {0x2F, 202},
    {0x2F, 209}, {0x2F, 217}, {0x2F, 224}, {0x2F, 231}, {0x2F, 238}, {0x2F, 246},
    // 3.5 V .. 4.0 V: the high range
    {0x3F, 190}, {0x3F, 195}, {0x3F, 201}, {0x3F, 206}, {0x3F, 211}, {0x3F, 217},
};
// clang-format on

namespace {

constexpr uint32_t kCodeWidth = 16;
constexpr uint32_t kByteWidth = 8;

// The factors are the single-precision numbers nearest to the data sheet's decimals, and every
// value is rounded to single precision.
constexpr float kVddVoltsPerCode = 0.00025f;
constexpr float kBatteryVoltsPerCode = 0.0001f;
constexpr float kDegreesPerCode = 0.016f;
constexpr double kMicroampsPerCode = 2.5 / 20 / 1000;

float Scaled(double mean, float factor) {
    return static_cast<float>(mean * factor);
}

// Current codes are two's complement.
float Current(double mean) {
    if (std::isnan(mean)) return std::numeric_limits<float>::quiet_NaN();
    uint32_t code = static_cast<uint32_t>(mean);
    int32_t signedCode =
        code >= 32768 ? static_cast<int32_t>(code) - 65536 : static_cast<int32_t>(code);
    return static_cast<float>(signedCode * 2.5 / 20 / 1000);
}

}  // namespace

bool PowerMonitor::SampleChannels(RegisterPort& powerMonitor) {
    uint32_t reading[kMeasurementChannels];
    bool allRead = true;
    for (int c = 0; c < kMeasurementChannels; ++c) {
        allRead = powerMonitor.Read(kMeasurementCommands[c], kCodeWidth, &reading[c]) && allRead;
    }
    // Fallback codes of a bus that was never had are no measurement.
    if (BusBusyInAction()) return false;
    if (sampleIndex < kSlots) {
        for (int c = 0; c < kMeasurementChannels; ++c) SampleSet[c][sampleIndex] = reading[c];
    }
    return allRead;
}

// Code that still reads the RTC by selection (kalendo-cli's session) finds it selected again.
void SelectAgain(DeviceHandle rtc) {
    if (!IsValidHandle(rtc)) return;
    SelectDevice(rtc);
    OpenSelectedDevice();
}

bool PowerMonitor::SampleChannels(DeviceHandle powerMonitor, DeviceHandle rtc) {
    DevicePort port(powerMonitor);
    const bool ok = SampleChannels(port);
    SelectAgain(rtc);
    return ok;
}

PowerReadings PowerMonitor::AverageChannels(bool& batteryInUse) const {
    const uint32_t n = sampleCount < kSlots ? sampleCount : kSlots;
    double mean[kMeasurementChannels];
    for (int c = 0; c < kMeasurementChannels; ++c) {
        uint32_t sum = 0;
        for (uint32_t i = 0; i < n; ++i) sum += SampleSet[c][i];
        // The fraction is dropped, as the chip's codes are whole numbers. No samples: no value.
        mean[c] = n ? static_cast<double>(sum / n) : std::numeric_limits<double>::quiet_NaN();
    }
    PowerReadings r;
    r.vddVoltage = Scaled(mean[kVddVoltage], kVddVoltsPerCode);
    r.vddCurrent = Current(mean[kVddCurrent]);
    r.batteryVoltage = Scaled(mean[kBatteryVoltage], kBatteryVoltsPerCode);
    r.batteryCurrent = Current(mean[kBatteryCurrent]);
    r.temperature = Scaled(mean[kTemperature], kDegreesPerCode);
    if (!std::isnan(r.batteryCurrent)) batteryInUse = r.batteryCurrent >= kBatteryInUseCurrent;
    return r;
}

void PowerMonitor::ApplySupplyVoltage(int tenths, DeviceHandle powerMonitor, DeviceHandle rtc) {
    DevicePort port(powerMonitor);
    kalendo::ApplySupplyVoltage(port, tenths);
    SelectAgain(rtc);
}

bool PowerMonitorIdentifies(RegisterPort& monitor) {
    uint32_t id = 0;
    return monitor.Read(kPowerMonitorIdRegister, 32, &id) && id == kPowerMonitorId;
}

bool InitialisePowerMonitor(RegisterPort& monitor) {
    struct Write {
        uint8_t reg;
        uint32_t value;
        uint32_t width;
    };
    // Steps 4-6 set the RTC supply to 3.5 V (that row of the supply level table).
    static constexpr Write kSetup[] = {
        {0x38, 0x015E, 16},
        {0xD2, 0x1F, kByteWidth},
        {0xD7, 0x01, kByteWidth},
        {kSupplyConfigCommand, 0x00, kByteWidth},
        {kSupplyLevelCommand, 0xBE, kByteWidth},
        {kSupplyConfigCommand, 0x3F, kByteWidth},
    };
    bool ok = true;
    for (const Write& w : kSetup) ok = monitor.Write(w.reg, w.value, w.width) && ok;
    return ok;
}

bool ReadBatteryInUse(RegisterPort& monitor, bool* inUse) {
    uint32_t code = 0;
    if (!monitor.Read(kMeasurementCommands[kBatteryCurrent], kCodeWidth, &code)) return false;
    *inUse = Current(code) >= kBatteryInUseCurrent;
    return true;
}

bool ApplySupplyVoltage(RegisterPort& monitor, int tenths) {
    if (tenths < kMinSupplyTenths || tenths > kMaxSupplyTenths) return false;
    const SupplyLevel& row = SupplyLevelTable[tenths];
    uint32_t config = 0;
    if (!monitor.Read(kSupplyConfigCommand, kByteWidth, &config)) return false;
    // The output is switched off while the level changes, and on again with the new range.
    bool ok = monitor.Write(kSupplyConfigCommand, config & ~uint32_t{kSupplyOutputEnable},
                            kByteWidth);
    ok = monitor.Write(kSupplyLevelCommand, row.level, kByteWidth) && ok;
    ok = monitor.WriteAlways(kSupplyConfigCommand, row.configuration, kByteWidth) && ok;
    return ok;
}

namespace {

// How a configuration byte places the rail: off, the lower range, the upper range.
int RailRank(uint8_t configuration) {
    if (!(configuration & kSupplyOutputEnable)) return 0;
    return (configuration & kSupplyUpperRange) ? 2 : 1;
}

// From the registers as they stand to the target. Of the two orders, the one whose in-between
// state has the lower range (or the output off) keeps the rail below both settings: the upper
// range's steps are the larger.
bool WriteSupplyRegisters(RegisterPort& monitor, uint8_t fromConfiguration,
                          const SupplyRegisters& to, bool always) {
    const auto write = [&](uint8_t reg, uint8_t value) {
        return always ? monitor.WriteAlways(reg, value, kByteWidth)
                      : monitor.Write(reg, value, kByteWidth);
    };
    if (fromConfiguration == to.configuration) return write(kSupplyLevelCommand, to.level);
    if (RailRank(to.configuration) < RailRank(fromConfiguration)) {
        const bool ok = write(kSupplyConfigCommand, to.configuration);
        return write(kSupplyLevelCommand, to.level) && ok;
    }
    const bool ok = write(kSupplyLevelCommand, to.level);
    return write(kSupplyConfigCommand, to.configuration) && ok;
}

}  // namespace

bool ReadSupplyRegisters(RegisterPort& monitor, SupplyRegisters* saved) {
    uint32_t configuration = 0, level = 0;
    if (!monitor.Read(kSupplyConfigCommand, kByteWidth, &configuration) ||
        !monitor.Read(kSupplyLevelCommand, kByteWidth, &level)) {
        return false;
    }
    saved->configuration = static_cast<uint8_t>(configuration);
    saved->level = static_cast<uint8_t>(level);
    return true;
}

bool ChangeSupplyLevel(RegisterPort& monitor, int tenths) {
    if (tenths < kMinSupplyTenths || tenths > kMaxSupplyTenths) return false;
    uint32_t configuration = 0;
    if (!monitor.Read(kSupplyConfigCommand, kByteWidth, &configuration)) return false;
    const SupplyLevel& row = SupplyLevelTable[tenths];
    return WriteSupplyRegisters(monitor, static_cast<uint8_t>(configuration),
                                {row.configuration, row.level}, false);
}

bool RestoreSupplyRegisters(RegisterPort& monitor, const SupplyRegisters& saved) {
    uint32_t configuration = 0;
    // Unread, the output counts as off: level first, then the configuration.
    if (!monitor.Read(kSupplyConfigCommand, kByteWidth, &configuration)) configuration = 0;
    return WriteSupplyRegisters(monitor, static_cast<uint8_t>(configuration), saved, true);
}

bool ReadMeasurement(RegisterPort& monitor, MeasurementChannel channel, double* value) {
    if (channel < 0 || channel >= kMeasurementChannels) return false;
    uint32_t code = 0;
    if (!monitor.Read(kMeasurementCommands[channel], kCodeWidth, &code)) return false;
    code &= 0xFFFF;
    switch (channel) {
        case kVddVoltage:
            *value = code * double{kVddVoltsPerCode};
            break;
        case kBatteryVoltage:
            *value = code * double{kBatteryVoltsPerCode};
            break;
        case kTemperature:
            *value = code * double{kDegreesPerCode};
            break;
        default:  // the two currents: two's complement
            *value =
                (code >= 32768 ? static_cast<int32_t>(code) - 65536 : static_cast<int32_t>(code)) *
                kMicroampsPerCode;
            break;
    }
    return true;
}

double MeasurementResolution(MeasurementChannel channel) {
    switch (channel) {
        case kVddVoltage:
            return kVddVoltsPerCode;
        case kBatteryVoltage:
            return kBatteryVoltsPerCode;
        case kTemperature:
            return kDegreesPerCode;
        default:
            return kMicroampsPerCode;
    }
}

}  // namespace kalendo
