// GuardedTimeWrite and the main window's texts through the bridge layer and the simulated board:
// real bus traffic to the TQ5100 model on a clock that moves only when told to.
#include <gtest/gtest.h>

#include <vector>

#include "bridge/board_discovery.h"
#include "bridge/bridge_state.h"
#include "bridge/os_seam.h"
#include "bridge/register_access.h"
#include "rtc/guarded_time_write.h"
#include "rtc/register_bus.h"
#include "rtc/rtc_registers.h"
#include "rtc/status_texts.h"
#include "sim/chips/evaluation_board_chips.h"
#include "sim/library/ft_entry_points.h"
#include "sim/bus/i2c_bus.h"
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
    std::string ReadTimeText(bool twelveHour) {
        RegisterBus& bus = BridgeRegisterBus();
        const uint8_t seconds = static_cast<uint8_t>(bus.Read(kRegSeconds, 8));
        const int32_t status = Bridge().BusStatus;
        Bridge().BusStatus = kBusOk;
        const uint8_t minutes = static_cast<uint8_t>(bus.Read(kRegMinutes, 8));
        const uint8_t hours = static_cast<uint8_t>(bus.Read(kRegHours, 8));
        return TimeTextFromRegisters(status, seconds, minutes, hours, twelveHour);
    }
    std::string ReadDateText() {
        RegisterBus& bus = BridgeRegisterBus();
        const uint8_t day = static_cast<uint8_t>(bus.Read(kRegDay, 8));
        const int32_t status = Bridge().BusStatus;
        Bridge().BusStatus = kBusOk;
        const uint8_t month = static_cast<uint8_t>(bus.Read(kRegMonth, 8));
        const uint8_t year = static_cast<uint8_t>(bus.Read(kRegYear, 8));
        const uint8_t week = static_cast<uint8_t>(bus.Read(kRegWeek, 8));
        return DateTextFromRegisters(status, day, month, year, week);
    }

    SimulatedLibraryOs os_;
    sim::EvaluationBoardChips chips_{
        sim::ChipsConfig{sim::RtcModel::Tq5100, &sim::Simulator().Clock(), 1, ""}};
    RtcWriteRecorder recorder_;
};

TEST_F(RtcOverBoardTest, GuardedWritesSetTheClockAndTheTextsShowIt) {
    RegisterBus& bus = BridgeRegisterBus();
    bus.Write(kRegControl, 0x40, 8);
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
            Bridge().ActiveDevice = 0;
        }
        EXPECT_EQ(ReadTimeText(true), "Error");
        EXPECT_EQ(ReadDateText(), "Error");
        const uint8_t raw = static_cast<uint8_t>(BridgeRegisterBus().Read(kRegTemperature, 8));
        EXPECT_EQ(TemperatureTextFromRegister(Bridge().BusStatus, raw), "Error");
        Bridge().BusStatus = kBusOk;
    }
}

}  // namespace
}  // namespace kalendo
