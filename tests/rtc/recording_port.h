// A register port that answers from a register file and records every transfer in order, with
// reads of chosen registers failing.
#pragma once

#include <ostream>
#include <set>
#include <vector>

#include "bridge/register_port.h"

namespace kalendo::testing {

class RecordingPort final : public RegisterPort {
  public:
    struct Op {
        char kind;  // 'R' read, 'W' write, 'A' write sent whatever
        uint8_t reg;
        uint32_t value;
        bool operator==(const Op& o) const {
            return kind == o.kind && reg == o.reg && value == o.value;
        }
    };
    bool Read(uint8_t reg, uint32_t, uint32_t* value) override {
        ops.push_back({'R', reg, 0});
        const bool ok = failingReads.count(reg) == 0;
        *value = ok ? regs[reg] : 0xFF;
        return ok;
    }
    bool Write(uint8_t reg, uint32_t value, uint32_t) override {
        ops.push_back({'W', reg, value});
        regs[reg] = static_cast<uint8_t>(value);
        return true;
    }
    bool WriteAlways(uint8_t reg, uint32_t value, uint32_t) override {
        ops.push_back({'A', reg, value});
        regs[reg] = static_cast<uint8_t>(value);
        return true;
    }
    uint8_t regs[256] = {};
    std::set<uint8_t> failingReads;
    std::vector<Op> ops;
};

inline void PrintTo(const RecordingPort::Op& op, std::ostream* os) {
    *os << op.kind << " reg " << int(op.reg) << " value " << op.value;
}

}  // namespace kalendo::testing
