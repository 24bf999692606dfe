// One action's bounded share of the shared bus: once a wait for the bus mutex timed out, or a
// read came back short, the rest of the action sends nothing and fails at once.
#include <gtest/gtest.h>

#include "bridge/bus_hold.h"
#include "tests/bridge/bridge_fixture.h"

namespace kalendo::testing {
namespace {

class BusHoldTest : public BridgeTest {
  protected:
    // Three reads and a write of the RTC, as one action.
    void RtcAction() {
        ReadRegisterChecked(0x00, 8);
        ReadRegisterChecked(0x01, 8);
        WriteRegisterChecked(0x0F, 0x05, 8);
        ReadRegisterChecked(0x02, 8);
    }
};

TEST_F(BusHoldTest, ATimedOutWaitEndsTheActionsBusWorkAndOnlyThatAction) {
    struct Case {
        const char* what;
        uint32_t budgetMs;
    };
    const Case cases[] = {{"user action", kUserActionBusWaitMs},
                          {"periodic tick", kPeriodicTickBusWaitMs}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ConnectAndSelect(kRtc);
        os.waitTimeouts.clear();
        os.waitAnswers = {MutexWait::TimedOut};
        Bridge().BusStatus = 0;
        {
            BusHold hold(c.budgetMs);
            RtcAction();
            EXPECT_TRUE(hold.BusBusy());
        }
        EXPECT_EQ(os.waitTimeouts, (std::vector<uint32_t>{c.budgetMs})) << "one wait in all";
        EXPECT_EQ(CountCalls("FT_Write"), 0) << "nothing sent after the time-out";
        EXPECT_EQ(Bridge().BusStatus, kBusTransactionFailed);
        EXPECT_EQ(rtcChip.At(0x0F), 0x00);

        // The next action has the bus again.
        Bridge().BusStatus = 0;
        BusHold next(c.budgetMs);
        RtcAction();
        EXPECT_FALSE(next.BusBusy());
        EXPECT_EQ(Bridge().BusStatus, 0);
        EXPECT_EQ(rtcChip.At(0x0F), 0x05);
        rtcChip.At(0x0F) = 0;
        DisconnectBridge();
    }
}

TEST_F(BusHoldTest, WaitsShareTheBudgetAndATickInsideAnActionKeepsItsOwn) {
    ConnectAndSelect(kRtc);
    os.waitTimeouts.clear();
    os.acquireAfterMs = 1500;  // another program lets go after 1.5 s each time
    {
        BusHold action(kUserActionBusWaitMs);
        ReadRegisterChecked(0x00, 8);
        ReadRegisterChecked(0x01, 8);
        {
            BusHold tick(kPeriodicTickBusWaitMs);  // a status tick in a modal loop
            ReadRegisterChecked(0x02, 8);
            EXPECT_TRUE(tick.BusBusy());
        }
        EXPECT_FALSE(action.BusBusy()) << "the tick's time-out is its own";
        ReadRegisterChecked(0x03, 8);
        ReadRegisterChecked(0x04, 8);  // 4.5 s waited: 0.5 s left, not enough
        EXPECT_TRUE(action.BusBusy());
        ReadRegisterChecked(0x05, 8);
    }
    EXPECT_EQ(os.waitTimeouts, (std::vector<uint32_t>{5000, 3500, 200, 2000, 500}));
}

TEST_F(BusHoldTest, WithoutAHoldEveryTransactionWaitsTheFullTimeOut) {
    ConnectAndSelect(kRtc);
    os.waitTimeouts.clear();
    os.waitAnswers = {MutexWait::TimedOut, MutexWait::TimedOut};
    RtcAction();
    EXPECT_EQ(os.waitTimeouts, (std::vector<uint32_t>{kBusMutexTimeoutMs, kBusMutexTimeoutMs,
                                                      kBusMutexTimeoutMs, kBusMutexTimeoutMs}));
    EXPECT_EQ(rtcChip.At(0x0F), 0x05) << "the write after the two time-outs got the bus";
}

TEST_F(BusHoldTest, AShortReadMeansTheBoardIsSilentForTheRestOfTheAction) {
    ConnectAndSelect(kRtc);
    Sim().SetShortRead(2);  // the address acknowledge of the first read's data phase
    {
        BusHold hold(kUserActionBusWaitMs);
        RtcAction();
        EXPECT_FALSE(hold.BusBusy()) << "a silent board is no busy bus";
    }
    EXPECT_EQ(CountCalls("FT_Read"), 2) << "no later transaction waits for the board again";
    EXPECT_EQ(CountCalls("FT_Write"), 2) << "only the first read's two bursts";
    EXPECT_EQ(Bridge().BusStatus, kBusTransactionFailed);
    EXPECT_EQ(rtcChip.At(0x0F), 0x00);
}

}  // namespace
}  // namespace kalendo::testing
