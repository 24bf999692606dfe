// Command bytes of the bridge chip's serial engine as the simulator decodes them, named for
// what they do. Shift commands are not listed one by one: they are the flag combinations below.
#pragma once

#include <cstdint>

namespace kalendo::sim {

// Flag bits of a shift command (bit 7 clear). One decoder handles every combination.
enum ShiftFlag : uint8_t {
    kShiftWriteOnFalling = 0x01,  // data out changes on the falling clock edge
    kShiftBitMode = 0x02,         // length counts bits (one length byte) instead of bytes
    kShiftReadOnFalling = 0x04,   // data in is sampled on the falling clock edge
    kShiftLsbFirst = 0x08,        // least significant bit first
    kShiftDoWrite = 0x10,         // clock data out on the data-out pin
    kShiftDoRead = 0x20,          // sample the data-in pin and return the bits
    kShiftTms = 0x40,             // JTAG mode-select shift: not supported by the simulator
};

// Commands with bit 7 set.
enum EngineCommand : uint8_t {
    kSetLowPins = 0x80,    // value, direction (1 = output) of the low port
    kReadLowPins = 0x81,   // answers one byte: the low port's pin levels
    kSetHighPins = 0x82,   // value, direction of the high port
    kReadHighPins = 0x83,  // answers one byte: the high port's pin levels
    kLoopbackOn = 0x84,    // data-in reads data-out internally
    kLoopbackOff = 0x85,
    kSetClockDivisor = 0x86,  // low byte, high byte
    kSendImmediate = 0x87,    // the chip sends its waiting answers to the host now
    kWaitIoHigh = 0x88,       // the engine waits until GPIOL1 (low port bit 5) is high
    kWaitIoLow = 0x89,        // ... until it is low
    kDivideBy5Off = 0x8A,     // master clock 60 MHz
    kDivideBy5On = 0x8B,      // master clock 12 MHz
    kThreePhaseOn = 0x8C,     // each bit takes three clock phases, data held through the last
    kThreePhaseOff = 0x8D,
    kClockBitsNoData = 0x8E,   // length: n + 1 clocks
    kClockBytesNoData = 0x8F,  // length low, high: (n + 1) * 8 clocks
    kClockUntilIoHigh = 0x94,  // clock without data until GPIOL1 is high
    kClockUntilIoLow = 0x95,
    kAdaptiveClockOn = 0x96,  // each clock waits for the return clock (not wired on the board)
    kAdaptiveClockOff = 0x97,
    kClockBytesUntilIoHigh = 0x9C,  // length low, high: up to (n + 1) * 8 clocks, or until high
    kClockBytesUntilIoLow = 0x9D,
    kDriveLowOnly = 0x9E,  // low mask, high mask: pins only ever pulled low
};

// Answer to an opcode the engine does not know: this byte, then the opcode.
constexpr uint8_t kBadCommandAnswer = 0xFA;

}  // namespace kalendo::sim
