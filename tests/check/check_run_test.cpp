// The data-sheet check run directly on the simulated board's ports (as the window's worker runs
// it): a glitch in one phase is read again rather than taken for a lost board, and a cancelled
// run on a board that stopped answering ends within one more library time-out.
#include <gtest/gtest.h>

#include <functional>

#include "bridge/register_port.h"
#include "power/power_monitor.h"
#include "check/datasheet_check.h"
#include "check/model_figures.h"
#include "rtc/model_file.h"
#include "tests/check/evaluation_board_fixture.h"

namespace kalendo::testing {
namespace {

// A port that lets the test act just before chosen transfers go out.
class WatchedPort final : public RegisterPort {
  public:
    explicit WatchedPort(DeviceHandle device) : port_(device) {}
    std::function<void(bool write, uint8_t reg)> before;
    bool Read(uint8_t reg, uint32_t width, uint32_t* value) override {
        if (before) before(false, reg);
        return port_.Read(reg, width, value);
    }
    bool Write(uint8_t reg, uint32_t value, uint32_t width) override {
        if (before) before(true, reg);
        return port_.Write(reg, value, width);
    }
    bool WriteAlways(uint8_t reg, uint32_t value, uint32_t width) override {
        if (before) before(true, reg);
        return port_.WriteAlways(reg, value, width);
    }

  private:
    DevicePort port_;
};

class CheckRunTest : public EvaluationBoardTest {
  protected:
    void SetUp() override {
        EvaluationBoardTest::SetUp();
        Connect();
        clocks.monotonicSeconds = [this] { return BoardSeconds(); };
        clocks.systemSeconds = [this] { return 1000 + BoardSeconds(); };
        clocks.localSecondsOfDay = [this] { return 9 * 3600.0 + BoardSeconds(); };
        ModelTableArray models;
        ASSERT_TRUE(ReadModelInfo(models, KALENDO_MODEL_FILE));
        settings.figures = check::FiguresOf(models[0]);
        settings.accuracySeconds = 20;
        settings.wait = [](double seconds) { Os().SleepMs(static_cast<uint32_t>(seconds * 1000)); };
        settings.cancelRequested = [this] { return cancel; };
    }

    check::CheckResult RunCheck() { return check::RunDataSheetCheck(rtc, monitor, clocks, settings); }

    WatchedPort rtc{kRtc};
    WatchedPort monitor{kPowerMonitor};
    check::PcClocks clocks;
    check::CheckSettings settings;
    bool cancel = false;
};

// A read of the current that came back short used to end the whole check as "Board
// Disconnected": the presence check that should allow a re-read ran inside the action that had
// found the board silent.
TEST_F(CheckRunTest, AShortReadWhileMeasuringTheCurrentIsReadAgain) {
    int currentReads = 0;
    monitor.before = [&](bool write, uint8_t reg) {
        if (!write && reg == kMeasurementCommands[kVddCurrent] && ++currentReads == 5) {
            Sim().SetShortRead(1);  // this read's pointer acknowledges come back short
        }
    };
    settings.progress = [&](const check::CheckProgress& p) {
        cancel = cancel || p.phase == std::string("accuracy");
    };
    const check::CheckResult r = RunCheck();
    EXPECT_GT(currentReads, 5);
    EXPECT_EQ(r.error, "");
    const check::CheckRow& current = r.rows[static_cast<size_t>(check::CheckRowId::TypicalCurrent)];
    EXPECT_TRUE(current.measured) << current.note;
    EXPECT_NEAR(current.value, 0.45, 0.01);
    EXPECT_TRUE(r.supplyRestored) << r.boardState;
}

// Cancelled at the moment the board starts answering 6 s late (the library waits 5 s): the run
// gives up after one more time-out instead of paying one per remaining transfer, and sends no
// further sweep level.
TEST_F(CheckRunTest, ACancelledRunOnABoardThatStoppedAnsweringEndsWithinOneTimeOut) {
    int levelWrites = 0;
    int levelWritesAfterCancel = 0;
    double cancelledAt = -1;
    monitor.before = [&](bool write, uint8_t reg) {
        if (!write || reg != kSupplyLevelCommand) return;
        ++levelWrites;
        if (cancel) ++levelWritesAfterCancel;
        if (levelWrites == 3 && !cancel) {  // the sweep's second level write
            Sim().SetAnswerDelayMs(6000);
            cancel = true;
            cancelledAt = BoardSeconds();
        }
    };
    settings.accuracySeconds = 5;
    const check::CheckResult r = RunCheck();
    ASSERT_GE(cancelledAt, 0);
    const double ending = BoardSeconds() - cancelledAt;
    EXPECT_GE(ending, 5.0) << "the write in flight waits out its time-out";
    EXPECT_LT(ending, 7.0) << "and nothing after it waits again";
    EXPECT_TRUE(r.interrupted);
    EXPECT_FALSE(r.supplyRestored);
    EXPECT_NE(r.boardState.find("NOT confirmed"), std::string::npos) << r.boardState;
    EXPECT_LE(levelWritesAfterCancel, 1) << "no sweep level after the cancel, the restore at most";
}

}  // namespace
}  // namespace kalendo::testing
