// One action's bounded share of the shared bus: once a wait for the bus mutex timed out, or a
// read came back short, the rest of the action sends nothing and fails at once.
#include <gtest/gtest.h>

#include "bridge/bus_action.h"
#include "tests/bridge/bridge_fixture.h"

namespace kalendo::testing {
namespace {

class BusActionTest : public BridgeTest {
  protected:
    // Three reads and a write of the RTC, as one action.
    void RtcAction() {
        ReadRegisterChecked(0x00, 8);
        ReadRegisterChecked(0x01, 8);
        WriteRegisterChecked(0x0F, 0x05, 8);
        ReadRegisterChecked(0x02, 8);
    }
};

TEST_F(BusActionTest, ATimedOutWaitEndsTheActionsBusWorkAndOnlyThatAction) {
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
            BusAction hold(c.budgetMs);
            RtcAction();
            EXPECT_TRUE(hold.BusBusy());
        }
        EXPECT_EQ(os.waitTimeouts, (std::vector<uint32_t>{c.budgetMs})) << "one wait in all";
        EXPECT_EQ(CountCalls("FT_Write"), 0) << "nothing sent after the time-out";
        EXPECT_EQ(Bridge().BusStatus, kBusTransactionFailed);
        EXPECT_EQ(rtcChip.At(0x0F), 0x00);

        // The next action has the bus again.
        Bridge().BusStatus = 0;
        BusAction next(c.budgetMs);
        RtcAction();
        EXPECT_FALSE(next.BusBusy());
        EXPECT_EQ(Bridge().BusStatus, 0);
        EXPECT_EQ(rtcChip.At(0x0F), 0x05);
        rtcChip.At(0x0F) = 0;
        DisconnectBridge();
    }
}

// The mutex is taken at an action's first transfer and held to its end: one wait per action, and
// a tick run inside it (a modal loop) finds the bus held. A tick before the action has the bus
// keeps its own bound.
TEST_F(BusActionTest, AnActionWaitsOnceAndHoldsTheBusToItsEnd) {
    ConnectAndSelect(kRtc);
    os.waitTimeouts.clear();
    os.acquireAfterMs = 1500;  // another program lets go after 1.5 s each time
    const int releasesBefore = os.releases;
    {
        BusAction action(kUserActionBusWaitMs);
        {
            BusAction tick(kPeriodicTickBusWaitMs);  // a status tick in a modal loop
            ReadRegisterChecked(0x02, 8);
            EXPECT_TRUE(tick.BusBusy());
        }
        EXPECT_FALSE(action.BusBusy()) << "the tick's time-out is its own";
        ReadRegisterChecked(0x00, 8);
        ReadRegisterChecked(0x01, 8);
        {
            BusAction tick(kPeriodicTickBusWaitMs);
            ReadRegisterChecked(0x02, 8);
            EXPECT_FALSE(tick.BusBusy()) << "the thread holds the bus for the action";
        }
        WriteRegisterChecked(0x0F, 0x05, 8);
        EXPECT_FALSE(action.BusBusy());
        EXPECT_TRUE(action.Ok());
        EXPECT_EQ(os.releases, releasesBefore) << "held until the action ends";
    }
    EXPECT_EQ(os.releases, releasesBefore + 1);
    EXPECT_EQ(os.waitTimeouts, (std::vector<uint32_t>{200, 5000}));
    EXPECT_EQ(rtcChip.At(0x0F), 0x05);
}

// An action made inside another with the same budget joins it: once the outer one has found the
// bus busy or the board silent, the inner one sends nothing either (the data-sheet check's
// presence check after a failed read relies on making its own action outside the read's).
TEST_F(BusActionTest, AnActionInsideOneWithTheSameBudgetSharesItsStop) {
    struct Case {
        const char* what;
        std::vector<MutexWait> waits;
        int shortRead;
    };
    const Case cases[] = {{"busy", {MutexWait::TimedOut, MutexWait::Acquired}, 0},
                          {"a wait that failed", {MutexWait::Failed, MutexWait::Acquired}, 0},
                          {"silent", {}, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ConnectAndSelect(kRtc);
        os.waitAnswers = c.waits;
        Sim().SetShortRead(c.shortRead);
        {
            BusAction outer(kUserActionBusWaitMs);
            ReadRegisterChecked(0x00, 8);
            EXPECT_FALSE(outer.Ok());
            Sim().ClearRecording();
            BusAction inner(kUserActionBusWaitMs);
            WriteRegisterChecked(0x0F, 0x05, 8);
            EXPECT_FALSE(inner.Ok());
            EXPECT_EQ(CountCalls("FT_Write"), 0) << "the inner action sent nothing";
        }
        EXPECT_EQ(rtcChip.At(0x0F), 0x00);
        Sim().SetShortRead(0);
        DisconnectBridge();
        Bridge().BusStatus = 0;
    }
}

TEST_F(BusActionTest, WithoutAHoldEveryTransactionWaitsTheFullTimeOut) {
    ConnectAndSelect(kRtc);
    os.waitTimeouts.clear();
    os.waitAnswers = {MutexWait::TimedOut, MutexWait::TimedOut};
    RtcAction();
    EXPECT_EQ(os.waitTimeouts, (std::vector<uint32_t>{kBusMutexTimeoutMs, kBusMutexTimeoutMs,
                                                      kBusMutexTimeoutMs, kBusMutexTimeoutMs}));
    EXPECT_EQ(rtcChip.At(0x0F), 0x05) << "the write after the two time-outs got the bus";
}

TEST_F(BusActionTest, AShortReadMeansTheBoardIsSilentForTheRestOfTheAction) {
    ConnectAndSelect(kRtc);
    Sim().SetShortRead(2);  // the address acknowledge of the first read's data phase
    {
        BusAction hold(kUserActionBusWaitMs);
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

namespace kalendo::testing {
namespace {

// A board that let one read run into the library's time-out is not waited for by the next
// action either (the Alarm and Timer polls, then the status tick): one freeze per board loss.
// Closing the bridge forgets it, so a reconnected board is used again.
TEST_F(BridgeTest, ABoardThatFellSilentIsNotWaitedForByLaterActions) {
    ConnectAndSelect(kRtc);
    Sim().SetShortRead(2);
    {
        BusAction poll(kPeriodicTickBusWaitMs);
        ReadRegisterChecked(0x0E, 8);
        EXPECT_TRUE(poll.BoardSilent());
    }
    const int reads = CountCalls("FT_Read");
    for (int action = 0; action < 3; ++action) {
        BusAction next(kPeriodicTickBusWaitMs);
        ReadRegisterChecked(0x0E, 8);
        EXPECT_FALSE(next.Ok());
    }
    EXPECT_EQ(CountCalls("FT_Read"), reads) << "no later action waited for the board";

    DisconnectBridge();
    Bridge().BusStatus = 0;  // the selection-based status of the silent reads
    ConnectAndSelect(kRtc);
    BusAction again(kUserActionBusWaitMs);
    WriteRegisterChecked(0x0F, 0x05, 8);
    EXPECT_TRUE(again.Ok());
    EXPECT_EQ(rtcChip.At(0x0F), 0x05);
}

}  // namespace
}  // namespace kalendo::testing
