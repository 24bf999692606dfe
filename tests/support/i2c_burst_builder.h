// Forms serial-engine bursts the way the program's I2C master does (standard-mode START and
// STOP hold counts, one acknowledge bit read after every byte sent), for the simulator's own
// tests and benchmark (header only, so bench/ takes it too). The simulator itself never looks
// for these shapes.
#pragma once

#include <cstdint>
#include <vector>

namespace kalendo::sim::burst {

using Bytes = std::vector<uint8_t>;

// Pin states of the low port: value, direction (SCL bit 0, SDA bit 1; 1 = output).
inline void PinState(Bytes& b, uint8_t value, uint8_t direction, int repeats = 1) {
    for (int i = 0; i < repeats; ++i) b.insert(b.end(), {0x80, value, direction});
}

inline void Idle(Bytes& b) {
    PinState(b, 0x03, 0x03);
}

// SCL high throughout; SDA falls; then SCL falls.
inline void Start(Bytes& b) {
    PinState(b, 0x03, 0x03, 23);
    PinState(b, 0x01, 0x03, 20);
    PinState(b, 0x00, 0x03, 15);
}

// SCL rises with SDA low, SDA rises, then both lines are released.
inline void Stop(Bytes& b) {
    PinState(b, 0x00, 0x03, 10);
    PinState(b, 0x01, 0x03, 20);
    PinState(b, 0x03, 0x03, 10);
    PinState(b, 0x03, 0x00);
}

// Eight bits out, then one acknowledge bit in (answers one byte).
inline void SendByte(Bytes& b, uint8_t byte) {
    PinState(b, 0x02, 0x03);
    b.insert(b.end(), {0x13, 0x07, byte});
    PinState(b, 0x00, 0x01);
    b.insert(b.end(), {0x22, 0x00});
}

// Eight bits in (answers one byte), then the master's acknowledge, or not for the last byte.
inline void ReadByte(Bytes& b, bool last) {
    PinState(b, 0x00, 0x01);
    b.insert(b.end(), {0x22, 0x07});
    if (last) {
        PinState(b, 0x02, 0x01);
        b.insert(b.end(), {0x13, 0x00, 0xFF});
    } else {
        PinState(b, 0x00, 0x03);
        b.insert(b.end(), {0x13, 0x00, 0x00});
    }
    PinState(b, 0x02, 0x01);
}

// 100 kHz with three-phase clocking on the 60 MHz engine; the lines idle high.
inline Bytes Setup(bool driveLowOnly) {
    Bytes b = {0x8A, 0x86, 0xC7, 0x00, 0x8C};
    if (driveLowOnly) b.insert(b.end(), {0x9E, 0x03, 0x00});
    Idle(b);
    return b;
}

// START, address+W, register, values, STOP: answers 2 + values.size() acknowledge bytes.
inline Bytes RegisterWrite(uint8_t address, uint8_t reg, const Bytes& values) {
    Bytes b;
    Start(b);
    SendByte(b, static_cast<uint8_t>(address << 1));
    SendByte(b, reg);
    for (uint8_t v : values) SendByte(b, v);
    Stop(b);
    return b;
}

// First burst of a register read: START, address+W, register, no STOP (2 answer bytes).
inline Bytes RegisterSelect(uint8_t address, uint8_t reg) {
    Bytes b;
    Start(b);
    SendByte(b, static_cast<uint8_t>(address << 1));
    SendByte(b, reg);
    return b;
}

// Second burst: (repeated) START, address+R, count bytes, STOP (1 + count answer bytes).
inline Bytes DataRead(uint8_t address, int count) {
    Bytes b;
    Start(b);
    SendByte(b, static_cast<uint8_t>(address << 1 | 1));
    for (int i = 0; i < count; ++i) ReadByte(b, i == count - 1);
    Stop(b);
    return b;
}

}  // namespace kalendo::sim::burst
