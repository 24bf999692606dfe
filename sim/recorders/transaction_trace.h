// Writes every I2C transaction decoded from the pins as one line, from START to STOP:
//   0000012.345678 START 0x32 W ACK 0x0F ACK RESTART 0x32 R ACK 0x1A NACK STOP
// The time stamp is the wire time of the START in seconds.
#pragma once

#include <cstdio>
#include <string>

#include "sim/bus/i2c_bus.h"

namespace kalendo::sim {

class TransactionTrace : public BusObserver {
  public:
    // Lines go to out (not owned); each is flushed as it is finished.
    explicit TransactionTrace(std::FILE* out) : out_(out) {}
    ~TransactionTrace() override { Flush(); }

    void OnStart(int64_t ps, bool repeated) override;
    void OnAddress(int64_t ps, uint8_t address, bool read, bool ack) override;
    void OnByte(int64_t ps, uint8_t value, bool read, bool ack) override;
    void OnStop(int64_t ps) override;
    // Writes an unfinished transaction as it stands (the board is going away).
    void Flush();
    // A line of its own at once (a timing violation, before the transaction it belongs to).
    void WriteLine(const std::string& text);

  private:
    std::FILE* out_;
    std::string line_;
};

}  // namespace kalendo::sim
