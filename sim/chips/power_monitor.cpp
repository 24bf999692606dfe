#include "sim/chips/power_monitor.h"

#include <cmath>
#include <cstring>

namespace kalendo::sim {

namespace {

// What the board's rails are doing, in the units the codes stand for.
struct RailReadings {
    double supplyVolts;
    double supplyMicroamps;
    double batteryVolts;
    double batteryMicroamps;
    double celsius;
};

// Small leakage currents stay a few noise amplitudes above zero: the program averages the raw
// codes unsigned, so readings that wrapped below zero would average to nonsense.
constexpr double kBatteryLeakMicroamps = 0.008;  // battery while VDD carries the RTC
constexpr double kSupplyLeakMicroamps = 0.010;   // VDD pin while the battery carries the RTC

// Supply generator: 0xE4 bit 2 switches the output on, bit 4 picks the upper range; the level in
// 0xE3 counts steps of the range (fitted so that every row of the program's supply table lands
// within 15 mV of its nominal voltage).
constexpr uint8_t kConfigOutputOn = 0x04;
constexpr uint8_t kConfigUpperRange = 0x10;
constexpr double kLowerRangeVoltsPerStep = 0.01385;
constexpr double kUpperRangeVoltsPerStep = 0.01845;
// The board powers up with the generator on at 3.3 V (level 238 of the lower range), so the RTC's
// interface answers before any program has set a supply; a program that clears the output bit
// still reads 0x00 back from its read-modify-write.
constexpr uint8_t kPowerOnLevel = 238;

constexpr char kDeviceId[] = "ISL28023";

}  // namespace

enum class CommandAccess : uint8_t { ReadOnly, ReadWrite };

enum class CommandBehaviour : uint8_t {
    Stored,          // a configuration value kept as written
    Measured,        // a reading of one rail, computed when the master reads
    Identification,  // the identification block: length byte, then the name
};

struct PowerMonitorCommand {
    uint8_t code;
    uint8_t width;  // data bytes
    CommandAccess access;
    CommandBehaviour behaviour;
    double (*quantity)(const RailReadings&);  // Measured only
    double unitsPerCode;                      // Measured only
    bool signedCode;                          // Measured only: two's complement
    int noiseCodes;                           // Measured only: noise amplitude
    uint16_t powerOnValue;                    // Stored only
};

namespace {

using Access = CommandAccess;
using Behaviour = CommandBehaviour;

double SupplyVoltsOf(const RailReadings& r) {
    return r.supplyVolts;
}
double SupplyCurrentOf(const RailReadings& r) {
    return r.supplyMicroamps;
}
double BatteryVoltsOf(const RailReadings& r) {
    return r.batteryVolts;
}
double BatteryCurrentOf(const RailReadings& r) {
    return r.batteryMicroamps;
}
double CelsiusOf(const RailReadings& r) {
    return r.celsius;
}

constexpr double kCurrentUnitsPerCode = 2.5 / 20.0 / 1000.0;

// clang-format off
constexpr PowerMonitorCommand kCommands[] = {
    // code  width access            behaviour                  quantity          units/code            signed noise power-on
    {0x38, 2, Access::ReadWrite, Behaviour::Stored,         nullptr,          0.0,                  false, 0,  0x0000},
    {0x8B, 2, Access::ReadOnly,  Behaviour::Measured,       SupplyVoltsOf,    0.00025,              false, 2,  0},
    {0x8D, 2, Access::ReadOnly,  Behaviour::Measured,       CelsiusOf,        0.016,                false, 3,  0},
    {0xAD, 9, Access::ReadOnly,  Behaviour::Identification, nullptr,          0.0,                  false, 0,  0},
    {0xD2, 1, Access::ReadWrite, Behaviour::Stored,         nullptr,          0.0,                  false, 0,  0x00},
    {0xD6, 2, Access::ReadOnly,  Behaviour::Measured,       SupplyCurrentOf,  kCurrentUnitsPerCode, true,  16, 0},
    {0xD7, 1, Access::ReadWrite, Behaviour::Stored,         nullptr,          0.0,                  false, 0,  0x00},
    {0xE0, 2, Access::ReadOnly,  Behaviour::Measured,       BatteryCurrentOf, kCurrentUnitsPerCode, true,  16, 0},
    {0xE1, 2, Access::ReadOnly,  Behaviour::Measured,       BatteryVoltsOf,   0.0001,               false, 3,  0},
    {0xE3, 1, Access::ReadWrite, Behaviour::Stored,         nullptr,          0.0,                  false, 0,  kPowerOnLevel},
    {0xE4, 1, Access::ReadWrite, Behaviour::Stored,         nullptr,          0.0,                  false, 0,  kConfigOutputOn},
};
// clang-format on

constexpr uint8_t kSupplyLevel = 0xE3;
constexpr uint8_t kSupplyConfig = 0xE4;

const PowerMonitorCommand* FindCommand(uint8_t code) {
    for (const PowerMonitorCommand& c : kCommands) {
        if (c.code == code) return &c;
    }
    return nullptr;
}

}  // namespace

PowerMonitorChip::PowerMonitorChip(const BoardConditions& board, uint32_t noiseSeed)
    : board_(board), noise_(noiseSeed) {
    for (const PowerMonitorCommand& c : kCommands) values_[c.code] = c.powerOnValue;
    TrackSupply();
}

void PowerMonitorChip::TrackSupply() {
    onBattery_ = RtcOnBatteryAfter(board_, onBattery_, SupplyVolts());
}

double PowerMonitorChip::GeneratedSupplyVolts() const {
    const uint8_t config = static_cast<uint8_t>(values_[kSupplyConfig]);
    if (!(config & kConfigOutputOn)) return 0.0;
    const double step =
        (config & kConfigUpperRange) ? kUpperRangeVoltsPerStep : kLowerRangeVoltsPerStep;
    return step * static_cast<uint8_t>(values_[kSupplyLevel]);
}

double PowerMonitorChip::SupplyVolts() const {
    if (!board_.usbPowered) return 0.0;  // unplugged: the whole board is off but the battery
    return board_.supplyOverridden ? board_.supplyOverrideVolts : GeneratedSupplyVolts();
}

double PowerMonitorChip::CarryingVolts() const {
    return onBattery_ ? board_.batteryVolts : SupplyVolts();
}

// --- bus callbacks -------------------------------------------------------------------------

bool PowerMonitorChip::OnStart(bool read) {
    CommitWrite();  // a repeated START ends a write as a STOP does
    if (read) {
        PrepareRead();
    } else {
        commandExpected_ = true;
    }
    return true;
}

bool PowerMonitorChip::OnWrite(uint8_t byte) {
    if (commandExpected_) {
        commandExpected_ = false;
        command_ = FindCommand(byte);
        return command_ != nullptr;  // an unsupported command is not acknowledged
    }
    const bool fits = command_ != nullptr && command_->access == CommandAccess::ReadWrite &&
                      writtenCount_ < command_->width && writtenCount_ < written_.size();
    if (!fits) {
        writeRefused_ = true;  // data for a reading, or more bytes than the command holds
        return false;
    }
    written_[writtenCount_++] = byte;
    return true;
}

uint8_t PowerMonitorChip::OnRead() {
    if (readIndex_ >= readLength_) return 0xFF;  // reading past the answer: released bus
    return readBuffer_[readIndex_++];
}

void PowerMonitorChip::OnStop() {
    CommitWrite();
    commandExpected_ = false;
}

// --- helpers -------------------------------------------------------------------------------

void PowerMonitorChip::CommitWrite() {
    // A write takes effect only with exactly the command's number of data bytes.
    if (command_ != nullptr && !writeRefused_ && writtenCount_ > 0 &&
        writtenCount_ == command_->width) {
        uint16_t value = 0;
        for (size_t i = 0; i < writtenCount_; ++i)
            value = static_cast<uint16_t>(value << 8 | written_[i]);
        const bool rail = command_->code == kSupplyLevel || command_->code == kSupplyConfig;
        if (rail && beforeRailChange_) beforeRailChange_();
        values_[command_->code] = value;
        // The program switches the output off while it changes the level: the rail, and with
        // it the power switch, really goes through 0 V.
        if (command_->code == kSupplyLevel || command_->code == kSupplyConfig) TrackSupply();
    }
    writtenCount_ = 0;
    writeRefused_ = false;
}

void PowerMonitorChip::PrepareRead() {
    readIndex_ = 0;
    readLength_ = 0;
    if (command_ == nullptr) return;
    switch (command_->behaviour) {
        case CommandBehaviour::Identification:
            readBuffer_[0] = static_cast<uint8_t>(std::strlen(kDeviceId));
            std::memcpy(&readBuffer_[1], kDeviceId, std::strlen(kDeviceId));
            readLength_ = 1 + std::strlen(kDeviceId);
            return;
        case CommandBehaviour::Measured: {
            const uint16_t code = MeasureCode(*command_);
            readBuffer_[0] = static_cast<uint8_t>(code >> 8);
            readBuffer_[1] = static_cast<uint8_t>(code);
            readLength_ = 2;
            return;
        }
        case CommandBehaviour::Stored: {
            const uint16_t value = values_[command_->code];
            for (size_t i = 0; i < command_->width; ++i) {
                readBuffer_[i] = static_cast<uint8_t>(value >> (8 * (command_->width - 1 - i)));
            }
            readLength_ = command_->width;
            return;
        }
    }
}

uint16_t PowerMonitorChip::MeasureCode(const PowerMonitorCommand& command) {
    const bool onBattery = RtcOnBattery();
    const RailReadings rails{
        SupplyVolts(),       onBattery ? kSupplyLeakMicroamps : board_.rtcSupplyMicroamps,
        board_.batteryVolts, onBattery ? board_.rtcBatteryMicroamps : kBatteryLeakMicroamps,
        board_.boardCelsius,
    };
    double code = std::round(command.quantity(rails) / command.unitsPerCode);
    if (std::isnan(code)) code = 0.0;
    code += noise_.Next(command.noiseCodes);
    // The converter saturates at the ends of its range.
    const double low = command.signedCode ? -32768.0 : 0.0;
    const double high = command.signedCode ? 32767.0 : 65535.0;
    if (code < low) code = low;
    if (code > high) code = high;
    return static_cast<uint16_t>(static_cast<int32_t>(code) & 0xFFFF);
}

}  // namespace kalendo::sim
