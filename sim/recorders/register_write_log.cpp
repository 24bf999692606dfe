#include "sim/recorders/register_write_log.h"

namespace kalendo::sim {

void RegisterWriteLog::OnStart(int64_t, bool) {
    Finish();
}

void RegisterWriteLog::OnAddress(int64_t, uint8_t address, bool read, bool ack) {
    collecting_ = ack && !read;
    address_ = address;
    bytes_.clear();
}

void RegisterWriteLog::OnByte(int64_t, uint8_t value, bool read, bool) {
    if (collecting_ && !read) bytes_.push_back(value);
}

void RegisterWriteLog::OnStop(int64_t) {
    Finish();
}

void RegisterWriteLog::Finish() {
    // A register select without values (the first half of a read) is not a write.
    if (collecting_ && bytes_.size() >= 2) {
        auto& list = writes_[address_];
        list.push_back(
            RegisterWrite{bytes_[0], std::vector<uint8_t>(bytes_.begin() + 1, bytes_.end())});
        if (list.size() > kKeptPerAddress) list.pop_front();
    } else if (collecting_ && bytes_.size() == 1) {
        auto& list = selects_[address_];
        list.push_back(bytes_[0]);
        if (list.size() > kKeptPerAddress) list.pop_front();
    }
    collecting_ = false;
    bytes_.clear();
}

bool RegisterWriteLog::LastWrite(uint8_t address, uint8_t reg, std::vector<uint8_t>* values) const {
    auto it = writes_.find(address);
    if (it == writes_.end()) return false;
    for (auto w = it->second.rbegin(); w != it->second.rend(); ++w) {
        if (w->reg == reg) {
            if (values) *values = w->values;
            return true;
        }
    }
    return false;
}

std::vector<RegisterWrite> RegisterWriteLog::Writes(uint8_t address) const {
    auto it = writes_.find(address);
    if (it == writes_.end()) return {};
    return std::vector<RegisterWrite>(it->second.begin(), it->second.end());
}

std::vector<uint8_t> RegisterWriteLog::Selects(uint8_t address) const {
    auto it = selects_.find(address);
    if (it == selects_.end()) return {};
    return std::vector<uint8_t>(it->second.begin(), it->second.end());
}

void RegisterWriteLog::Clear() {
    writes_.clear();
    selects_.clear();
    collecting_ = false;
    bytes_.clear();
}

}  // namespace kalendo::sim
