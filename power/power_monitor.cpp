#include "power/power_monitor.h"

#include <cmath>
#include <limits>

#include "bridge/bus_hold.h"
#include "bridge/register_access.h"

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

void SelectAndOpen(DeviceHandle h) {
    SelectDevice(h);
    OpenSelectedDevice();
}

}  // namespace

bool PowerMonitor::SampleChannels(DeviceHandle powerMonitor, DeviceHandle rtc) {
    // BusStatus is sticky: only this reading's own failures may decide what it returns.
    const int32_t earlier = Bridge().BusStatus;
    Bridge().BusStatus = kBusOk;
    SelectAndOpen(powerMonitor);
    uint32_t reading[kMeasurementChannels];
    for (int c = 0; c < kMeasurementChannels; ++c) {
        reading[c] = ReadRegisterChecked(kMeasurementCommands[c], kCodeWidth);
    }
    const bool allRead = Bridge().BusStatus == kBusOk;
    SelectAndOpen(rtc);
    if (Bridge().BusStatus == kBusOk) Bridge().BusStatus = earlier;
    // Fallback codes of a bus that was never had are no measurement.
    if (BusHeldElsewhere()) return false;
    if (sampleIndex < kSlots) {
        for (int c = 0; c < kMeasurementChannels; ++c) SampleSet[c][sampleIndex] = reading[c];
    }
    return allRead;
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
    if (tenths < kMinSupplyTenths || tenths > kMaxSupplyTenths) return;
    const SupplyLevel& row = SupplyLevelTable[tenths];
    SelectAndOpen(powerMonitor);
    // The output is switched off while the level changes, and on again with the new range.
    const int32_t earlier = Bridge().BusStatus;
    Bridge().BusStatus = kBusOk;
    uint32_t config = ReadRegisterChecked(kSupplyConfigCommand, kByteWidth);
    if (Bridge().BusStatus != kBusOk) {
        SelectAndOpen(rtc);
        return;
    }
    Bridge().BusStatus = earlier;
    WriteRegisterChecked(kSupplyConfigCommand, config & ~uint32_t{kSupplyOutputEnable}, kByteWidth);
    WriteRegisterChecked(kSupplyLevelCommand, row.level, kByteWidth);
    WriteRegisterChecked(kSupplyConfigCommand, row.configuration, kByteWidth);
    SelectAndOpen(rtc);
}

}  // namespace kalendo
