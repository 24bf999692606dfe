// Two threads on one bridge, as the window's thread and the data-sheet check's worker: both
// running at once through the register path, each checked by what reached which chip.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "bridge/bus_action.h"
#include "bridge/fout_gate.h"
#include "bridge/register_port.h"
#include "sim/recorders/register_write_log.h"
#include "tests/bridge/bridge_fixture.h"

namespace kalendo::testing {
namespace {

constexpr int kWrites = 800;  // within what the write log keeps per chip
constexpr uint8_t kRtcRegister = 0x10;
constexpr uint8_t kMonitorRegister = 0x20;

class TwoThreadsTest : public BridgeTest {
  protected:
    void SetUp() override {
        BridgeTest::SetUp();
        Sim().WithLock([&] { Sim().BoardBus().AddObserver(&log); });
    }
    void TearDown() override {
        Sim().WithLock([&] { Sim().BoardBus().RemoveObserver(&log); });
        BridgeTest::TearDown();
    }

    // Every write of `address` that went to `reg`, in order, and those that went elsewhere.
    void WritesOf(uint8_t address, uint8_t reg, std::vector<uint8_t>* values, int* elsewhere) {
        values->clear();
        *elsewhere = 0;
        Sim().WithLock([&] {
            for (const sim::RegisterWrite& w : log.Writes(address)) {
                if (w.reg == reg && w.values.size() == 1) {
                    values->push_back(w.values[0]);
                } else {
                    ++*elsewhere;
                }
            }
        });
    }

    static std::vector<uint8_t> Sequence() {
        std::vector<uint8_t> v;
        for (int i = 0; i < kWrites; ++i) v.push_back(static_cast<uint8_t>(i));
        return v;
    }

    sim::RegisterWriteLog log;
};

// The other thread's transfers that do not get the bus (its own budget ran out, or it found the
// board silent) once stored their failure where this thread was reading its own: good writes were
// reported failed.
TEST_F(TwoThreadsTest, AThreadWithoutTheBusNeverFailsTheOtherThreadsTransfers) {
    Connect();
    for (const bool otherFoundBoardSilent : {false, true}) {
        SCOPED_TRACE(otherFoundBoardSilent ? "the other thread found the board silent"
                                           : "the other thread's budget runs out");
        log.Clear();
        std::atomic<bool> done{false};
        std::thread other([&] {
            if (otherFoundBoardSilent) LatchBoardSilence();
            DevicePort monitor(kPowerMonitor);
            while (!done) {
                BusAction tick(0);  // gives up at once when the bus is held
                uint32_t value = 0;
                monitor.Read(0xAD, 32, &value);
            }
        });
        int reportedFailed = 0;
        DevicePort rtc(kRtc);
        for (int i = 0; i < kWrites; ++i) {
            BusAction action(kUserActionBusWaitMs);
            const bool ok = rtc.Write8(kRtcRegister, static_cast<uint8_t>(i));
            reportedFailed += !ok || !action.Ok();
        }
        done = true;
        other.join();
        EXPECT_EQ(reportedFailed, 0);
        std::vector<uint8_t> values;
        int elsewhere = 0;
        WritesOf(0x32, kRtcRegister, &values, &elsewhere);
        EXPECT_EQ(values.size(), static_cast<size_t>(kWrites));
        EXPECT_TRUE(values == Sequence()) << "every write reached the RTC, once, in order";
        EXPECT_EQ(elsewhere, 0);
    }
}

// Without a bus mutex (none could be made) the process's own lock still keeps the threads'
// selections and transfers apart: no RTC write reaches the power monitor, nor the other way.
TEST_F(TwoThreadsTest, WithoutABusMutexTheThreadsStillNeverInterleave) {
    os.mutexCreationFails = true;
    Connect();
    ASSERT_EQ(Bridge().mutexHandle, nullptr);
    std::thread other([&] {
        DevicePort monitor(kPowerMonitor);
        for (int i = 0; i < kWrites; ++i) {
            BusAction action(kUserActionBusWaitMs);
            monitor.Write(kMonitorRegister, static_cast<uint8_t>(i), 8);
        }
    });
    DevicePort rtc(kRtc);
    for (int i = 0; i < kWrites; ++i) {
        BusAction action(kUserActionBusWaitMs);
        rtc.Write8(kRtcRegister, static_cast<uint8_t>(i));
    }
    other.join();
    std::vector<uint8_t> values;
    int elsewhere = 0;
    WritesOf(0x32, kRtcRegister, &values, &elsewhere);
    EXPECT_TRUE(values == Sequence()) << values.size() << " RTC writes where they belong";
    EXPECT_EQ(elsewhere, 0) << "no power-monitor write reached the RTC";
    WritesOf(0x40, kMonitorRegister, &values, &elsewhere);
    EXPECT_TRUE(values == Sequence()) << values.size() << " monitor writes where they belong";
    EXPECT_EQ(elsewhere, 0) << "no RTC write reached the power monitor";
}

// The FOUT gate's pin command never lands inside another thread's transaction (an RTC read
// leaves the bus open between its two bursts).
TEST_F(TwoThreadsTest, TheFoutGateIsDrivenOnlyBetweenTransactions) {
    struct GateWatch : sim::BusObserver, sim::HighPortObserver {
        bool open = false;
        int gateChanges = 0;
        int gateChangesInsideATransaction = 0;
        void OnStart(int64_t, bool) override { open = true; }
        void OnStop(int64_t) override { open = false; }
        void OnHighPort(int64_t, uint8_t, uint8_t) override {
            ++gateChanges;
            gateChangesInsideATransaction += open;
        }
    } watch;
    Connect();
    DevicePort rtc(kRtc);
    {
        BusAction first(kUserActionBusWaitMs);
        uint8_t seconds = 0;
        ASSERT_TRUE(rtc.Read8(0x00, &seconds));  // opens the channel
    }
    Sim().WithLock([&] {
        Sim().BoardBus().AddObserver(&watch);
        Sim().BoardEngine()->SetHighPortObserver(&watch);
    });
    std::atomic<bool> done{false};
    std::atomic<int> gateWrites{0};
    std::thread gate([&] {
        for (int i = 0; !done; ++i) {
            BusAction click(kUserActionBusWaitMs);
            gateWrites += SetFoutGate(i % 2 == 0);
            std::this_thread::yield();
        }
    });
    // Both threads get their turns (the lock is not fair: each yields after its action).
    int readsFailed = 0;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (int i = 0; (i < kWrites || gateWrites < 100) && std::chrono::steady_clock::now() < until;
         ++i) {
        {
            BusAction poll(kUserActionBusWaitMs);
            uint8_t seconds = 0;
            readsFailed += !rtc.Read8(0x00, &seconds);
        }
        std::this_thread::yield();
    }
    done = true;
    gate.join();
    Sim().WithLock([&] {
        Sim().BoardEngine()->SetHighPortObserver(nullptr);
        Sim().BoardBus().RemoveObserver(&watch);
    });
    EXPECT_EQ(readsFailed, 0);
    EXPECT_GE(watch.gateChanges, 100);
    EXPECT_EQ(watch.gateChangesInsideATransaction, 0) << "of " << watch.gateChanges;
}

}  // namespace
}  // namespace kalendo::testing
