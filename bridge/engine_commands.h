// The serial-engine vocabulary the I2C master speaks: opcodes named for what they do, and the
// pin-state phrases every burst is built from.
#pragma once

#include <cstdint>

namespace kalendo::engine {

// Opcodes.
constexpr uint8_t kSetLowPins = 0x80;   // levels, directions of the low port
constexpr uint8_t kSetHighPins = 0x82;  // levels, directions of the high port
constexpr uint8_t kClockBitsOutFallingMsb =
    0x13;                                        // n, byte: n + 1 bits out, change on falling edge
constexpr uint8_t kClockBitsInRisingMsb = 0x22;  // n: n + 1 bits in, sampled on rising edge
constexpr uint8_t kLoopbackOn = 0x84;
constexpr uint8_t kLoopbackOff = 0x85;
constexpr uint8_t kSetDivisor = 0x86;    // low, high
constexpr uint8_t kDivideBy5Off = 0x8A;  // 60 MHz master clock
constexpr uint8_t kDivideBy5On = 0x8B;   // 12 MHz master clock
constexpr uint8_t kThreePhaseOn = 0x8C;
constexpr uint8_t kThreePhaseOff = 0x8D;
constexpr uint8_t kDriveLowOnly = 0x9E;  // low mask, high mask
constexpr uint8_t kSendImmediate = 0x87;  // the chip sends its waiting answer to the host now
constexpr uint8_t kBogusOpcode1 = 0xAA;  // invalid on purpose: the engine echoes FA AA
constexpr uint8_t kBogusOpcode2 = 0xAB;
constexpr uint8_t kBadCommandReply = 0xFA;

// Low-port pins: SCL on bit 0, SDA driven from bit 1 and read back on bit 2.
constexpr uint8_t kPinScl = 0x01;
constexpr uint8_t kPinSdaOut = 0x02;

// A pin-state phrase: the three bytes of kSetLowPins.
struct PinState {
    uint8_t levels;
    uint8_t directions;
};

constexpr PinState kIdle = {0x03, 0x03};                   // SCL high, SDA high, both driven
constexpr PinState kSclHighSdaLow = {0x01, 0x03};          // START edge; STOP set-up
constexpr PinState kSclLowSdaLow = {0x00, 0x03};           // end of START; master's ACK bit
constexpr PinState kSclLowSdaHigh = {0x02, 0x03};          // before each byte the master sends
constexpr PinState kSclLowSdaReleased = {0x00, 0x01};      // before reading ACK or data
constexpr PinState kSclLowSdaReleasedHigh = {0x02, 0x01};  // master's NACK; after a byte read
constexpr PinState kBothReleased = {0x03, 0x00};  // end of STOP: lines left to the pull-ups

// Byte counts of the blocks a burst is made of.
constexpr uint32_t kPinStateBytes = 3;
constexpr uint32_t kByteOutBlockBytes = 11;  // also the address block
constexpr uint32_t kByteInBlockBytes = 14;

}  // namespace kalendo::engine
