#include <gtest/gtest.h>

#include <vector>

#include "rtc/guarded_time_write.h"
#include "rtc/rtc_registers.h"
#include "tests/rtc/recording_port.h"

namespace kalendo {
namespace {

using testing::RecordingPort;
using Ops = std::vector<RecordingPort::Op>;

TEST(GuardedTimeWrite, SetsGuardWritesFieldsInOrderThenAlwaysClearsGuard) {
    struct Case {
        uint8_t control;
        uint32_t guarded;
        uint32_t restored;
    };
    // The guard ends cleared even when it was set before; other bits are kept.
    const Case cases[] = {{0x40, 0x41, 0x40}, {0x41, 0x41, 0x40}, {0xFE, 0xFF, 0xFE}};
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.control));
        RecordingPort port;
        port.regs[kRegControl] = c.control;
        const FieldWrite fields[] = {{kRegSeconds, 0x56}, {kRegMinutes, 0x34}, {kRegHours, 0x12}};
        EXPECT_TRUE(GuardedTimeWrite(port, fields));
        // The release is the write that must go out even after the board fell silent.
        const Ops expected = {
            {'R', kRegControl, 0},    {'W', kRegControl, c.guarded}, {'W', kRegSeconds, 0x56},
            {'W', kRegMinutes, 0x34}, {'W', kRegHours, 0x12},        {'A', kRegControl, c.restored},
        };
        EXPECT_EQ(port.ops, expected);
    }
}

TEST(GuardedTimeWrite, ControlRegisterNotReadWritesNothing) {
    // Writing back a fallback byte would clear the alarm and timer interrupt enables.
    RecordingPort port;
    port.failingReads = {kRegControl};
    const FieldWrite fields[] = {{kRegSeconds, 0x56}};
    EXPECT_FALSE(GuardedTimeWrite(port, fields));
    EXPECT_EQ(port.ops, (Ops{{'R', kRegControl, 0}}));
}

}  // namespace
}  // namespace kalendo
