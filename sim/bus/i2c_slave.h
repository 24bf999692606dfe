// What a chip on the simulated I2C bus sees: bus events, never pins. The bus decodes SCL and
// SDA into these calls and drives the acknowledge and data bits from their answers.
#pragma once

#include <cstdint>

namespace kalendo::sim {

class I2cSlave {
  public:
    virtual ~I2cSlave() = default;
    // 7-bit address the chip answers at.
    virtual uint8_t Address() const = 0;
    // START or repeated START followed by this chip's address; true acknowledges it.
    virtual bool OnStart(bool read) = 0;
    // A byte the master wrote; true acknowledges it.
    virtual bool OnWrite(uint8_t byte) = 0;
    // The next byte the master reads from the chip.
    virtual uint8_t OnRead() = 0;
    // The master's acknowledge bit after a byte it read (false: not acknowledged, the last).
    virtual void OnMasterAck(bool ack) { (void)ack; }
    // STOP, or a repeated START to another address, ended this chip's transaction.
    virtual void OnStop() = 0;
};

}  // namespace kalendo::sim
