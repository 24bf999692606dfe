// Register writes as they appear on the bus, per chip address: the first byte written after an
// acknowledged write address is the register, the rest are its values. Lets a UI test check what
// the program wrote without reading the chip back. A register select with no values (the first
// half of a read) is kept apart, so a test can also see which registers were read.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "sim/bus/i2c_bus.h"

namespace kalendo::sim {

struct RegisterWrite {
    uint8_t reg = 0;
    std::vector<uint8_t> values;
};

class RegisterWriteLog : public BusObserver {
  public:
    void OnStart(int64_t ps, bool repeated) override;
    void OnAddress(int64_t ps, uint8_t address, bool read, bool ack) override;
    void OnByte(int64_t ps, uint8_t value, bool read, bool ack) override;
    void OnStop(int64_t ps) override;

    // The values of the latest write that started at reg; false if there was none.
    bool LastWrite(uint8_t address, uint8_t reg, std::vector<uint8_t>* values) const;
    // Oldest first, at most kKeptPerAddress per address.
    std::vector<RegisterWrite> Writes(uint8_t address) const;
    // Registers selected without values, oldest first, at most kKeptPerAddress per address.
    std::vector<uint8_t> Selects(uint8_t address) const;
    void Clear();

    static constexpr size_t kKeptPerAddress = 1000;

  private:
    void Finish();

    bool collecting_ = false;
    uint8_t address_ = 0;
    std::vector<uint8_t> bytes_;
    std::map<uint8_t, std::deque<RegisterWrite>> writes_;
    std::map<uint8_t, std::deque<uint8_t>> selects_;
};

}  // namespace kalendo::sim
