#include "sim/bus/i2c_bus.h"

#include <algorithm>

namespace kalendo::sim {

void I2cBus::AttachSlave(I2cSlave* slave) {
    if (slave && std::find(slaves_.begin(), slaves_.end(), slave) == slaves_.end()) {
        slaves_.push_back(slave);
    }
}

void I2cBus::DetachSlave(I2cSlave* slave) {
    if (target_ == slave) {
        target_ = nullptr;
        targetActive_ = false;
        slaveSda_ = LineDrive::Released;
    }
    slaves_.erase(std::remove(slaves_.begin(), slaves_.end(), slave), slaves_.end());
}

void I2cBus::DetachAllSlaves() {
    slaves_.clear();
    target_ = nullptr;
    targetActive_ = false;
    slaveSda_ = LineDrive::Released;
}

void I2cBus::SetAddressAcknowledge(uint8_t address, bool on) {
    auto it = std::find(silencedAddresses_.begin(), silencedAddresses_.end(), address);
    if (on && it != silencedAddresses_.end()) silencedAddresses_.erase(it);
    if (!on && it == silencedAddresses_.end()) silencedAddresses_.push_back(address);
}

bool I2cBus::AddressAcknowledged(uint8_t address) const {
    return std::find(silencedAddresses_.begin(), silencedAddresses_.end(), address) ==
           silencedAddresses_.end();
}

void I2cBus::AddObserver(BusObserver* observer) {
    if (observer) observers_.push_back(observer);
}

void I2cBus::RemoveObserver(BusObserver* observer) {
    observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

void I2cBus::ResetDecoder() {
    if (target_) target_->OnStop();
    target_ = nullptr;
    targetActive_ = false;
    slaveSda_ = LineDrive::Released;
    masterScl_ = LineDrive::Released;
    masterSda_ = LineDrive::Released;
    scl_ = true;
    sda_ = true;
    contention_ = false;
    SetPhase(Phase::Idle);
}

void I2cBus::DriveMaster(LineDrive scl, LineDrive sda, int64_t ps) {
    const bool sclFalls = scl == LineDrive::Low && masterScl_ != LineDrive::Low;
    if (sclFalls) {
        masterScl_ = scl;
        Settle(ps);
        masterSda_ = sda;
        Settle(ps);
    } else {
        masterSda_ = sda;
        Settle(ps);
        masterScl_ = scl;
        Settle(ps);
    }
}

bool I2cBus::ResolvedSda() const {
    return masterSda_ != LineDrive::Low && slaveSda_ != LineDrive::Low;
}

// Called after one driver changed. At most one line changes through the master per call; a chip
// changes SDA only inside the SCL-falling handler, while SCL is low.
void I2cBus::Settle(int64_t ps) {
    const bool oldScl = scl_;
    const bool oldSda = sda_;
    const bool scl = masterScl_ != LineDrive::Low;
    const bool sda = ResolvedSda();
    if (scl != scl_) {
        scl_ = scl;
        sda_ = sda;
        if (scl_) {
            OnSclRise(ps);
        } else {
            OnSclFall();
            sda_ = ResolvedSda();
        }
    } else if (sda != sda_) {
        sda_ = sda;
        if (scl_) {
            if (sda_) {
                OnStopCondition(ps);
            } else {
                OnStartCondition(ps);
            }
        }
    }

    const bool contention = masterSda_ == LineDrive::High && slaveSda_ == LineDrive::Low;
    if (contention && !contention_) {
        ++contentionCount_;
        lastContentionPs_ = ps;
    }
    contention_ = contention;

    if (oldScl != scl_ || oldSda != sda_) {
        for (BusObserver* o : observers_) o->OnLevels(ps, scl_, sda_);
    }
}

void I2cBus::SetPhase(Phase phase) {
    phase_ = phase;
    bitCount_ = 0;
    shift_ = 0;
}

I2cSlave* I2cBus::FindSlave(uint8_t address) const {
    if (!AddressAcknowledged(address)) return nullptr;
    for (I2cSlave* s : slaves_) {
        if (s->Address() == address) return s;
    }
    return nullptr;
}

// SDA fell while SCL was high.
void I2cBus::OnStartCondition(int64_t ps) {
    const bool repeated = phase_ != Phase::Idle;
    slaveSda_ = LineDrive::Released;
    targetActive_ = false;
    SetPhase(Phase::Address);
    for (BusObserver* o : observers_) o->OnStart(ps, repeated);
}

// SDA rose while SCL was high.
void I2cBus::OnStopCondition(int64_t ps) {
    if (phase_ == Phase::Idle) return;
    if (target_) target_->OnStop();
    target_ = nullptr;
    targetActive_ = false;
    slaveSda_ = LineDrive::Released;
    SetPhase(Phase::Idle);
    for (BusObserver* o : observers_) o->OnStop(ps);
}

void I2cBus::OnSclRise(int64_t ps) {
    switch (phase_) {
        case Phase::Address:
        case Phase::WriteData:
        case Phase::ReadData:
            if (bitCount_ < 8) {
                shift_ = static_cast<uint8_t>((shift_ << 1) | (sda_ ? 1 : 0));
                ++bitCount_;
            }
            break;
        case Phase::AddressAck:
            for (BusObserver* o : observers_) {
                o->OnAddress(ps, static_cast<uint8_t>(shift_ >> 1), readTransfer_, !sda_);
            }
            break;
        case Phase::WriteAck:
        case Phase::ReadAck:
            for (BusObserver* o : observers_) o->OnByte(ps, shift_, readTransfer_, !sda_);
            // The master's acknowledge of a read byte decides whether the chip goes on.
            if (phase_ == Phase::ReadAck && targetActive_) {
                target_->OnMasterAck(!sda_);
                if (sda_) targetActive_ = false;
            }
            break;
        case Phase::Idle:
            break;
    }
}

// SCL fell: the end of a bit. The chip changes its SDA driver here, while SCL is low.
void I2cBus::OnSclFall() {
    switch (phase_) {
        case Phase::Address:
            if (bitCount_ == 8) {
                RouteAddress();
                phase_ = Phase::AddressAck;
            }
            break;
        case Phase::AddressAck:
            slaveSda_ = LineDrive::Released;
            SetPhase(readTransfer_ ? Phase::ReadData : Phase::WriteData);
            if (readTransfer_) LoadReadByte();
            break;
        case Phase::WriteData:
            if (bitCount_ == 8) {
                const bool ack = targetActive_ && target_->OnWrite(shift_);
                slaveSda_ = ack ? LineDrive::Low : LineDrive::Released;
                phase_ = Phase::WriteAck;
            }
            break;
        case Phase::WriteAck:
            slaveSda_ = LineDrive::Released;
            SetPhase(Phase::WriteData);
            break;
        case Phase::ReadData:
            if (bitCount_ == 8) {
                slaveSda_ = LineDrive::Released;
                phase_ = Phase::ReadAck;
            } else {
                DriveReadBit();
            }
            break;
        case Phase::ReadAck:
            SetPhase(Phase::ReadData);
            LoadReadByte();
            break;
        case Phase::Idle:
            break;
    }
}

// The eighth address bit has been clocked: find the chip and let it answer.
void I2cBus::RouteAddress() {
    const uint8_t address = static_cast<uint8_t>(shift_ >> 1);
    readTransfer_ = (shift_ & 1) != 0;
    I2cSlave* slave = FindSlave(address);
    // A repeated START to another chip ends the previous chip's transaction.
    if (target_ && target_ != slave) target_->OnStop();
    target_ = slave;
    targetActive_ = slave && slave->OnStart(readTransfer_);
    slaveSda_ = targetActive_ ? LineDrive::Low : LineDrive::Released;
}

void I2cBus::LoadReadByte() {
    if (!targetActive_) return;
    outByte_ = target_->OnRead();
    DriveReadBit();
}

void I2cBus::DriveReadBit() {
    if (!targetActive_) {
        slaveSda_ = LineDrive::Released;
        return;
    }
    const bool one = (outByte_ >> (7 - bitCount_)) & 1;
    slaveSda_ = one ? LineDrive::Released : LineDrive::Low;
}

}  // namespace kalendo::sim
