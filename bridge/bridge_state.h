// The process-wide state of the bridge layer: board and device tables, the selection, the
// sticky bus status, the open channel and the bus mutex. Kept process-wide on purpose, as the
// design has it; with the data-sheet check's worker beside the window's thread, everything a
// transfer touches here (selection, target, channel, status, timing records, the upper port) is
// changed only by the thread holding the bus (bus_lock.h). The tables themselves are built and
// freed by Connect and Disconnect, which end any run first.
#pragma once

#include <cstdint>

#include "bridge/ft_library.h"

namespace kalendo {

// High byte: board number from 1; low byte: device number from 1; 0 = no device.
using DeviceHandle = uint16_t;

// Device numbers fixed by the device table.
constexpr uint8_t kPowerMonitorDevice = 1;
constexpr uint8_t kTq5100Device = 2;
constexpr uint8_t kTq5200Device = 3;

constexpr int kMaxBoards = 2;
constexpr int kDeviceSlots = 16;

// Channel option bits of a device entry.
constexpr uint32_t kOptionThreePhaseOff = 0x0001;
constexpr uint32_t kOptionDriveLowOnly = 0x0002;
constexpr uint32_t kOptionSkipBitModeReset = 0x8000;
// kalendo-cli: when the serial engine still runs from the previous command it is kept, bit mode
// and pins as they are, so an output set by one command (the FOUT gate) survives the next.
constexpr uint32_t kOptionContinueEngine = 0x4000;

enum class DeviceKind : uint32_t { PowerMonitor = 0, Rtc = 1 };

struct DeviceEntry {
    char name[32];          // what FindDeviceByName compares, byte-wise
    char description[512];  // long name
    int32_t present;        // 1 once the row has been filled
    int32_t attached;       // 1 once attached or opened
    uint32_t channelIndex;  // copy of the board's
    uint32_t kind;          // DeviceKind
    uint32_t clockRate;     // requested I2C clock in Hz
    uint8_t latencyTimer;   // bridge latency timer, ms
    uint32_t options;       // kOption* bits
    uint8_t address;        // 7-bit I2C address
};

struct BoardEntry {
    DeviceEntry* devices[kDeviceSlots];  // owned; rows 1..3 filled
    char description[32];                // "UM232H"
    char serialNumber[16];               // as listed at discovery: with the description, the
                                         // board's identity (list positions change)
    uint32_t deviceCount;
    uint32_t channelIndex;   // 0-based among the I2C-capable channels
    uint32_t attachedCount;  // 0: the channel has not been opened and configured yet
};

// Repeats of each pin state in a START or STOP condition, per configured channel.
struct TimingRecord {
    TimingRecord* next;
    FtHandle channel;
    uint32_t clockRate;
    uint32_t startIdle;
    uint32_t startSdaLow;
    uint32_t startSclLow;
    uint32_t stopLow;
    uint32_t stopSclHigh;
    uint32_t stopIdle;
    uint32_t startCommands;  // startIdle + startSdaLow + startSclLow
    uint32_t stopCommands;   // stopLow + stopSclHigh + stopIdle + 1 (the release)
};

extern const TimingRecord kStandardModeTiming;
extern const TimingRecord kFastModeTiming;

struct BridgeState {
    // Library binding.
    void* libraryHandle = nullptr;
    FtLibrary ft = {};
    int initialised = 0;
    // Bus mutex and the pieces of its name.
    void* mutexHandle = nullptr;
    char* namePieceFirst = nullptr;
    char* namePieceSecond = nullptr;
    // Boards and devices.
    BoardEntry* boards[kMaxBoards] = {nullptr, nullptr};
    uint32_t boardCount = 0;
    uint32_t devicesOpenElsewhere = 0;  // listed as open by another process at the last search
    // The board found at discovery is no longer in the device list (unplugged, or another device
    // now holds its place): nothing was opened.
    bool boardChanged = false;
    // A transfer came back short or late: what is left of its answer may still arrive, so the
    // engine is drained and resynchronised before the next burst (changed under the bus only).
    bool engineNeedsResync = false;
    // The transfer under way asks for its answers at once (a send-immediate after each burst):
    // its port's setting, set and cleared by the thread holding the bus.
    bool sendImmediate = false;
    DeviceHandle ActiveDevice = 0;
    int32_t BusStatus = 0;
    DeviceEntry* BusTarget = nullptr;
    uint32_t WidthMask[33] = {};
    uint8_t UpperPortValue = 0;
    uint8_t UpperPortDirection = 0;
    // The open channel and the timing records of configured channels, newest first.
    FtHandle ChannelHandle = nullptr;
    TimingRecord* timingRecords = nullptr;
};

BridgeState& Bridge();

}  // namespace kalendo
