// A plain I2C register file for tests: the first byte written after the address sets the
// register pointer, later bytes are stored from there on, reads continue from the pointer, and
// the pointer advances (wrapping) after every byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "sim/bus/i2c_slave.h"

namespace kalendo::sim {

class RegisterFileSlave : public I2cSlave {
  public:
    RegisterFileSlave(uint8_t address, size_t size);

    uint8_t Address() const override { return address_; }
    bool OnStart(bool read) override;
    bool OnWrite(uint8_t byte) override;
    uint8_t OnRead() override;
    void OnMasterAck(bool ack) override;
    void OnStop() override;

    uint8_t& At(size_t index) { return registers_.at(index); }
    uint8_t Pointer() const { return pointer_; }
    // What the master did to this chip, for assertions.
    int Starts() const { return starts_; }
    int Stops() const { return stops_; }
    int MasterNacks() const { return masterNacks_; }

  private:
    uint8_t address_;
    std::vector<uint8_t> registers_;
    uint8_t pointer_ = 0;
    bool expectPointer_ = false;
    int starts_ = 0;
    int stops_ = 0;
    int masterNacks_ = 0;
};

}  // namespace kalendo::sim
