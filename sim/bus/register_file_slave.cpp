#include "sim/bus/register_file_slave.h"

namespace kalendo::sim {

RegisterFileSlave::RegisterFileSlave(uint8_t address, size_t size)
    : address_(address), registers_(size == 0 ? 1 : size, 0) {}

bool RegisterFileSlave::OnStart(bool read) {
    ++starts_;
    expectPointer_ = !read;
    return true;
}

bool RegisterFileSlave::OnWrite(uint8_t byte) {
    if (expectPointer_) {
        pointer_ = static_cast<uint8_t>(byte % registers_.size());
        expectPointer_ = false;
        return true;
    }
    registers_[pointer_] = byte;
    pointer_ = static_cast<uint8_t>((pointer_ + 1) % registers_.size());
    return true;
}

uint8_t RegisterFileSlave::OnRead() {
    const uint8_t value = registers_[pointer_];
    pointer_ = static_cast<uint8_t>((pointer_ + 1) % registers_.size());
    return value;
}

void RegisterFileSlave::OnMasterAck(bool ack) {
    if (!ack) ++masterNacks_;
}

void RegisterFileSlave::OnStop() {
    ++stops_;
}

}  // namespace kalendo::sim
