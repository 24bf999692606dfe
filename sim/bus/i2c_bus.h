// The board's I2C bus: SCL and SDA resolved as wired-AND lines with pull-ups, a pin decoder that
// turns their levels into bus events (START, STOP, address, bytes, acknowledge bits), and the
// routing of those events to the chips by address. Chips never see pins.
#pragma once

#include <cstdint>
#include <vector>

#include "sim/bus/i2c_slave.h"

namespace kalendo::sim {

// What a driver does to a line. A released line is pulled up unless someone pulls it low.
enum class LineDrive : uint8_t { Released, Low, High };

// Decoded traffic for recorders (trace file, waveform). Times are wire time in picoseconds.
class BusObserver {
  public:
    virtual ~BusObserver() = default;
    virtual void OnLevels(int64_t ps, bool scl, bool sda) { (void)ps, (void)scl, (void)sda; }
    virtual void OnStart(int64_t ps, bool repeated) { (void)ps, (void)repeated; }
    // ack: true when the acknowledge clock found SDA low (the byte was acknowledged).
    virtual void OnAddress(int64_t ps, uint8_t address, bool read, bool ack) {
        (void)ps, (void)address, (void)read, (void)ack;
    }
    virtual void OnByte(int64_t ps, uint8_t value, bool read, bool ack) {
        (void)ps, (void)value, (void)read, (void)ack;
    }
    virtual void OnStop(int64_t ps) { (void)ps; }
};

class I2cBus {
  public:
    I2cBus() = default;
    I2cBus(const I2cBus&) = delete;
    I2cBus& operator=(const I2cBus&) = delete;

    // Chips are not owned; they must outlive the bus or be detached.
    void AttachSlave(I2cSlave* slave);
    void DetachSlave(I2cSlave* slave);
    void DetachAllSlaves();
    // A chip whose address is switched off does not answer: as if it were absent.
    void SetAddressAcknowledge(uint8_t address, bool on);
    bool AddressAcknowledged(uint8_t address) const;

    void AddObserver(BusObserver* observer);
    void RemoveObserver(BusObserver* observer);

    // The master's drivers. When both lines change at once, a falling SCL is applied before the
    // SDA change and a rising SCL after it, so data never appears to change while SCL is high.
    void DriveMaster(LineDrive scl, LineDrive sda, int64_t ps);

    bool Scl() const { return scl_; }
    bool Sda() const { return sda_; }
    // Times the master drove SDA high while a chip pulled it low (each episode counted once).
    uint32_t ContentionCount() const { return contentionCount_; }
    int64_t LastContentionPs() const { return lastContentionPs_; }

    // Back to an idle bus with no transaction; chips and settings stay.
    void ResetDecoder();

  private:
    // Where the decoder is within a transaction. Bits are sampled on SCL rising; the chip
    // changes what it drives on SCL falling.
    enum class Phase {
        Idle,        // no START seen since the last STOP
        Address,     // shifting in the address byte
        AddressAck,  // acknowledge clock of the address
        WriteData,   // shifting in a byte the master writes
        WriteAck,    // acknowledge clock of a written byte (driven by the chip)
        ReadData,    // shifting out a byte the master reads
        ReadAck,     // acknowledge clock of a read byte (driven by the master)
    };

    void Settle(int64_t ps);
    void OnSclRise(int64_t ps);
    void OnSclFall();
    void OnStartCondition(int64_t ps);
    void OnStopCondition(int64_t ps);
    void RouteAddress();
    void LoadReadByte();
    void DriveReadBit();
    void SetPhase(Phase phase);
    I2cSlave* FindSlave(uint8_t address) const;
    bool ResolvedSda() const;

    std::vector<I2cSlave*> slaves_;
    std::vector<uint8_t> silencedAddresses_;
    std::vector<BusObserver*> observers_;

    LineDrive masterScl_ = LineDrive::Released;
    LineDrive masterSda_ = LineDrive::Released;
    LineDrive slaveSda_ = LineDrive::Released;
    bool scl_ = true;
    bool sda_ = true;
    bool contention_ = false;
    uint32_t contentionCount_ = 0;
    int64_t lastContentionPs_ = 0;

    Phase phase_ = Phase::Idle;
    int bitCount_ = 0;   // bits sampled in the current byte
    uint8_t shift_ = 0;  // the current byte as sampled from SDA
    bool readTransfer_ = false;
    I2cSlave* target_ = nullptr;  // chip addressed since the last START
    bool targetActive_ = false;   // the chip acknowledged and still takes part
    uint8_t outByte_ = 0;         // byte the chip is sending
};

}  // namespace kalendo::sim
