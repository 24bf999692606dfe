// GuardedTimeWrite and the main window's texts through the bridge layer and the simulated board:
// real bus traffic to the TQ5100 model on a clock that moves only when told to.
#include <gtest/gtest.h>

#include <vector>

#include "bridge/board_discovery.h"
#include "bridge/bridge_state.h"
#include "bridge/os_seam.h"
#include "bridge/register_access.h"
#include "bridge/register_port.h"
#include "rtc/alarm_operations.h"
#include "rtc/guarded_time_write.h"
#include "rtc/rtc_registers.h"
#include "rtc/texts/status_texts.h"
#include "rtc/timer_operations.h"
#include "sim/bus/i2c_bus.h"
#include "sim/chips/evaluation_board_chips.h"
#include "sim/library/ft_entry_points.h"
#include "sim/library/simulated_library.h"

namespace kalendo {
namespace {

// Hands out the simulated library by name; one process, so the bus mutex is always free.
class SimulatedLibraryOs : public OsSeam {
  public:
    void* OpenLibrary(const char*) override { return this; }
    void* FindSymbol(void*, const char* name) override { return sim::FindEntryPoint(name); }
    void CloseLibrary(void*) override {}
    void* CreateNamedMutex(const char*) override { return this; }
    MutexWait WaitMutex(void*, uint32_t) override { return MutexWait::Acquired; }
    void ReleaseMutex(void*) override {}
    void CloseMutex(void*) override {}
    void SleepMs(uint32_t) override {}
    bool GetEnv(const char*, char*, uint32_t) override { return false; }
};

// The register writes addressed to the RTC as they cross the wire: register, then values.
class RtcWriteRecorder : public sim::BusObserver {
  public:
    void OnAddress(int64_t, uint8_t address, bool read, bool ack) override {
        collecting_ = address == 0x32 && !read && ack;  // ack: true when acknowledged
        if (collecting_) writes.emplace_back();
    }
    void OnByte(int64_t, uint8_t value, bool read, bool) override {
        if (collecting_ && !read) writes.back().push_back(value);
    }
    void OnStop(int64_t) override { collecting_ = false; }
    std::vector<std::vector<uint8_t>> writes;

  private:
    bool collecting_ = false;
};

class RtcOverBoardTest : public testing::Test {
  protected:
    void SetUp() override {
        sim::Simulator().Reset();
        sim::Simulator().Clock().UseVirtual(true);
        sim::Simulator().AttachSlave(&chips_.Rtc());
        sim::Simulator().AttachSlave(&chips_.PowerMonitor());
        InstallOsSeam(&os_);
        ASSERT_EQ(ConnectBridge(), 1);
        const DeviceHandle rtc = FindDeviceByName(FirstDeviceOfBoard(0), "Novar TQ5100");
        ASSERT_NE(rtc, 0);
        port_ = DevicePort(rtc);
        SelectDevice(rtc);
        OpenSelectedDevice();
        Bridge().BusStatus = kBusOk;
    }
    void TearDown() override {
        sim::Simulator().BoardBus().RemoveObserver(&recorder_);
        DisconnectBridge();
        InstallOsSeam(nullptr);
        sim::Simulator().Reset();
    }

    // One main-window time text: the seconds read's status decides, as at the status tick.
    std::string ReadTimeText(bool twelveHour) { return ReadRtcTimeText(port_, twelveHour); }
    std::string ReadDateText() { return ReadRtcDateText(port_); }

    SimulatedLibraryOs os_;
    sim::EvaluationBoardChips chips_{
        sim::ChipsConfig{sim::RtcModel::Tq5100, &sim::Simulator().Clock(), 1, ""}};
    RtcWriteRecorder recorder_;
    DevicePort port_{0};
};

TEST_F(RtcOverBoardTest, GuardedWritesSetTheClockAndTheTextsShowIt) {
    DevicePort& bus = port_;
    bus.Write8(kRegControl, 0x40);
    sim::Simulator().BoardBus().AddObserver(&recorder_);

    const FieldWrite time[] = {{kRegSeconds, 0x56}, {kRegMinutes, 0x34}, {kRegHours, 0x13}};
    GuardedTimeWrite(bus, time);
    const FieldWrite date[] = {
        {kRegWeek, 0x04}, {kRegDay, 0x05}, {kRegMonth, 0x03}, {kRegYear, 0x19}};
    GuardedTimeWrite(bus, date);
    EXPECT_EQ(Bridge().BusStatus, kBusOk);

    // {0x0F} alone is the register number of the control register's read.
    const std::vector<std::vector<uint8_t>> expected = {
        {0x0F},       {0x0F, 0x41}, {0x00, 0x56}, {0x01, 0x34}, {0x02, 0x13}, {0x0F, 0x40}, {0x0F},
        {0x0F, 0x41}, {0x03, 0x04}, {0x04, 0x05}, {0x05, 0x03}, {0x06, 0x19}, {0x0F, 0x40}};
    EXPECT_EQ(recorder_.writes, expected);

    EXPECT_EQ(ReadTimeText(true), "01:34:56 PM");
    EXPECT_EQ(ReadTimeText(false), "13:34:56");
    EXPECT_EQ(ReadDateText(), "Tuesday, March 05, 2019");
    sim::Simulator().Clock().AdvanceMs(1000);
    EXPECT_EQ(ReadTimeText(false), "13:34:57");
}

// A selection that is no longer valid, and a board that has gone: the first read of each text
// fails and the text reads "Error" instead of the fallback value's nonsense.
TEST_F(RtcOverBoardTest, FailedReadsShowError) {
    for (const bool unplug : {false, true}) {
        SCOPED_TRACE(unplug ? "board unplugged" : "invalid selection");
        if (unplug) {
            sim::Simulator().Unplug();
        } else {
            port_ = DevicePort(0);
        }
        EXPECT_EQ(ReadTimeText(true), "Error");
        EXPECT_EQ(ReadDateText(), "Error");
        EXPECT_EQ(ReadRtcTemperatureText(port_), "Error");
    }
}

// A port through which the chip's clock moves on right after the flag register has been read, so a
// flag rises between an acknowledge's read and its write.
class FlagRaceOnRead final : public RegisterPort {
  public:
    explicit FlagRaceOnRead(RegisterPort& inner) : inner_(inner) {}
    bool Read(uint8_t reg, uint32_t width, uint32_t* value) override {
        const bool ok = inner_.Read(reg, width, value);
        if (reg == kRegFlag) sim::Simulator().Clock().AdvanceMs(1000);
        return ok;
    }
    bool Write(uint8_t reg, uint32_t value, uint32_t width) override {
        return inner_.Write(reg, value, width);
    }

  private:
    RegisterPort& inner_;
};

// Acknowledging the timer used to write the flag register back as read: the alarm flag that rose
// meanwhile was written 0 and lost, and "ALARM TRIGGERED" never came.
TEST_F(RtcOverBoardTest, AFlagRaisedBetweenAnAcknowledgesReadAndWriteSurvives) {
    const FieldWrite time[] = {{kRegSeconds, 0x59}, {kRegMinutes, 0x00}, {kRegHours, 0x12}};
    ASSERT_TRUE(GuardedTimeWrite(port_, time));
    // Alarm at 12:01, any day (bit 7 of the day register: not compared).
    ASSERT_TRUE(WriteAlarmTime(port_, 12, 1));
    ASSERT_TRUE(port_.Write8(kRegWeekDayAlarm, 0x80));
    ASSERT_TRUE(port_.Write8(kRegFlag, 0x00));

    FlagRaceOnRead racing(port_);
    EXPECT_TRUE(AcknowledgeTimer(racing));
    bool raised = false;
    ASSERT_TRUE(AlarmFlagRaised(port_, &raised));
    EXPECT_TRUE(raised) << "the alarm flag that rose during the acknowledge is still up";
}

}  // namespace
}  // namespace kalendo
