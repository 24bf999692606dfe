#include <gtest/gtest.h>

#include <vector>

#include "rtc/guarded_time_write.h"
#include "rtc/rtc_registers.h"

namespace kalendo {
namespace {

// Records every operation in order; reads of the control register answer `control`.
class RecordingBus : public RegisterBus {
  public:
    struct Op {
        char kind;  // 'R' or 'W'
        uint8_t reg;
        uint32_t value;
        uint32_t width;
        bool operator==(const Op& o) const {
            return kind == o.kind && reg == o.reg && value == o.value && width == o.width;
        }
    };
    explicit RecordingBus(uint8_t control) : control_(control) {}
    bool TryRead(uint8_t reg, uint32_t width, uint32_t* value) override {
        *value = Read(reg, width);
        return !failReads;
    }
    bool failReads = false;
    uint32_t Read(uint8_t reg, uint32_t width) override {
        ops.push_back({'R', reg, 0, width});
        return reg == kRegControl ? control_ : 0;
    }
    void Write(uint8_t reg, uint32_t value, uint32_t width) override {
        ops.push_back({'W', reg, value, width});
    }
    std::vector<Op> ops;

  private:
    uint8_t control_;
};

void PrintTo(const RecordingBus::Op& op, std::ostream* os) {
    *os << op.kind << " reg " << int(op.reg) << " value " << op.value << " width " << op.width;
}

TEST(GuardedTimeWrite, SetsGuardWritesFieldsInOrderThenClearsGuard) {
    struct Case {
        uint8_t control;
        uint32_t guarded;
        uint32_t restored;
    };
    // The guard ends cleared even when it was set before; other bits are kept.
    const Case cases[] = {{0x40, 0x41, 0x40}, {0x41, 0x41, 0x40}, {0xFE, 0xFF, 0xFE}};
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.control));
        RecordingBus bus(c.control);
        const FieldWrite fields[] = {{kRegSeconds, 0x56}, {kRegMinutes, 0x34}, {kRegHours, 0x12}};
        GuardedTimeWrite(bus, fields);
        const std::vector<RecordingBus::Op> expected = {
            {'R', kRegControl, 0, 8},    {'W', kRegControl, c.guarded, 8},
            {'W', kRegSeconds, 0x56, 8}, {'W', kRegMinutes, 0x34, 8},
            {'W', kRegHours, 0x12, 8},   {'W', kRegControl, c.restored, 8},
        };
        EXPECT_EQ(bus.ops, expected);
    }
}

TEST(GuardedTimeWrite, ControlRegisterNotReadWritesNothing) {
    // Writing back a fallback byte would clear the alarm and timer interrupt enables.
    RecordingBus bus(0x40);
    bus.failReads = true;
    const FieldWrite fields[] = {{kRegSeconds, 0x56}};
    EXPECT_FALSE(GuardedTimeWrite(bus, fields));
    const std::vector<RecordingBus::Op> expected = {{'R', kRegControl, 0, 8}};
    EXPECT_EQ(bus.ops, expected);
}

}  // namespace
}  // namespace kalendo
