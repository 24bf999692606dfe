// The chip operations over device ports inside bus actions, on the bridge layer with register-file
// chips: what reached which chip when another program holds the bus, and that an action takes the
// bus mutex once for all its transfers.
#include <gtest/gtest.h>

#include "bridge/bus_action.h"
#include "bridge/register_port.h"
#include "power/power_monitor.h"
#include "power/power_monitor_operations.h"
#include "rtc/guarded_time_write.h"
#include "rtc/rtc_registers.h"
#include "rtc/timer_operations.h"
#include "tests/bridge/bridge_fixture.h"

namespace kalendo::testing {
namespace {

class BoardOperationsTest : public BridgeTest {
  protected:
    void SetUp() override {
        BridgeTest::SetUp();
        Connect();
        os.waitTimeouts.clear();
        // The identification block the status tick reads.
        const uint8_t id[] = {0x08, 0x49, 0x53, 0x4C};
        for (int i = 0; i < 4; ++i) powerMonitorChip.At(kPowerMonitorIdRegister + i) = id[i];
    }
    DevicePort rtc{kRtc};
    DevicePort monitor{kPowerMonitor};
};

// A status tick that found the bus busy used to leave the power monitor selected, and the next
// RTC write went to 0x40.
TEST_F(BoardOperationsTest, BusyTickThenAnRtcWriteReachesTheRtc) {
    os.waitAnswers = {MutexWait::TimedOut};
    {
        BusAction tick(kPeriodicTickBusWaitMs);
        EXPECT_FALSE(PowerMonitorIdentifies(monitor));
        EXPECT_TRUE(tick.BusBusy());
    }
    BusAction click(kUserActionBusWaitMs);
    EXPECT_TRUE(rtc.Write8(kRegControl, 0x05));
    EXPECT_TRUE(click.Ok());
    EXPECT_EQ(rtcChip.At(kRegControl), 0x05);
    EXPECT_EQ(powerMonitorChip.At(kRegControl), 0x00) << "nothing went to the power monitor";
}

// Every transfer names its device: an operation on one chip between two on the other changes
// nothing about where the next one goes.
TEST_F(BoardOperationsTest, PortsInterleaveWithoutLeavingASelection) {
    BusAction action(kUserActionBusWaitMs);
    EXPECT_TRUE(rtc.Write8(0x07, 0x11));
    EXPECT_TRUE(PowerMonitorIdentifies(monitor));
    EXPECT_TRUE(rtc.Write8(0x08, 0x22));
    EXPECT_TRUE(monitor.Write(0xE3, 0x33, 8));
    EXPECT_TRUE(action.Ok());
    EXPECT_EQ(rtcChip.At(0x07), 0x11);
    EXPECT_EQ(rtcChip.At(0x08), 0x22);
    EXPECT_EQ(powerMonitorChip.At(0xE3), 0x33);
    EXPECT_EQ(powerMonitorChip.At(0x08), 0x00);
    EXPECT_EQ(os.waitTimeouts, (std::vector<uint32_t>{kUserActionBusWaitMs}))
        << "the mutex is taken once for the whole action";
}

// The bus mutex is had from an action's first transfer to its end: a program that would take it
// between two transfers no longer stops a multi-register change halfway, so the write guard is
// released, the supply ends with its output on, and the TQ5200's counter is written whole.
TEST_F(BoardOperationsTest, OnceTheBusIsOursMultiRegisterChangesEndWhole) {
    struct Case {
        const char* what;
        bool (*operation)(RegisterPort& rtc, RegisterPort& monitor);
        uint8_t chipAddress;
        uint8_t reg;
        uint8_t expected;
    };
    const Case cases[] = {
        {"write guard released",
         [](RegisterPort& r, RegisterPort&) {
             const FieldWrite fields[] = {{kRegSeconds, 0x56}, {kRegMinutes, 0x34}};
             return GuardedTimeWrite(r, fields);
         },
         0x32, kRegControl, 0x40},
        {"supply output on again",
         [](RegisterPort&, RegisterPort& m) { return ApplySupplyVoltage(m, 35); }, 0x40,
         kSupplyConfigCommand, 0x3F},
        {"TQ5200 counter written whole",
         [](RegisterPort& r, RegisterPort&) { return WriteTimerCounter(r, 0x123456, true); },
         0x32, kRegTimer2Preset, 0x12},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        rtcChip.At(kRegControl) = 0x40;
        powerMonitorChip.At(kSupplyConfigCommand) = 0x3F;
        rtcChip.At(kRegTimer2Preset) = 0;
        os.waitTimeouts.clear();
        // The first wait gets the bus; any later one would find another program holding it.
        os.waitAnswers = {MutexWait::Acquired, MutexWait::TimedOut, MutexWait::TimedOut,
                          MutexWait::TimedOut, MutexWait::TimedOut, MutexWait::TimedOut};
        {
            BusAction action(kUserActionBusWaitMs);
            EXPECT_TRUE(c.operation(rtc, monitor));
            EXPECT_TRUE(action.Ok());
        }
        const uint8_t got = c.chipAddress == 0x32 ? rtcChip.At(c.reg) : powerMonitorChip.At(c.reg);
        EXPECT_EQ(got, c.expected);
        EXPECT_EQ(os.waitTimeouts.size(), 1u);
        os.waitAnswers.clear();
    }
}

// A board that went silent stops the action's bus work, bar the clean-ups: the guard release is
// sent although the action has stopped.
TEST_F(BoardOperationsTest, SilentBoardStillGetsTheGuardRelease) {
    rtcChip.At(kRegControl) = 0x40;
    BusAction action(kUserActionBusWaitMs);
    uint8_t seconds = 0;
    ASSERT_TRUE(rtc.Read8(kRegSeconds, &seconds));  // the channel is set up, as before any short read
    NoteBoardSilent();  // as after a read that came back short
    EXPECT_FALSE(rtc.Write8(kRegSeconds, 0x11)) << "an ordinary write is not sent";
    EXPECT_TRUE(rtc.WriteAlways(kRegControl, 0x40, 8));
    EXPECT_EQ(rtcChip.At(kRegSeconds), 0x00);
    EXPECT_EQ(rtcChip.At(kRegControl), 0x40);
    EXPECT_FALSE(action.Ok());
}

}  // namespace
}  // namespace kalendo::testing
