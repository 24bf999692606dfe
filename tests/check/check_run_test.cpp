// The data-sheet check run directly on the simulated board's ports (as the window's worker runs
// it): a glitch in one phase is read again rather than taken for a lost board, and a cancelled
// run on a board that stopped answering ends within one more library time-out.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "bridge/register_port.h"
#include "power/power_monitor.h"
#include "check/datasheet_check.h"
#include "check/model_figures.h"
#include "rtc/rtc_registers.h"
#include "rtc/model_file.h"
#include "tests/check/evaluation_board_fixture.h"

namespace kalendo::testing {
namespace {

// A port that lets the test act just before chosen transfers go out; its answers come at once,
// as the window's worker's and kalendo-cli's do.
class WatchedPort final : public RegisterPort {
  public:
    explicit WatchedPort(DeviceHandle device) : port_(device, AnswerTiming::Immediate) {}
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
    bool ReadTimed(uint8_t reg, uint32_t width, uint32_t* value, LatchTiming* latch) override {
        if (before) before(false, reg);
        return port_.ReadTimed(reg, width, value, latch);
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

const check::CheckRow& RowOf(const check::CheckResult& r, check::CheckRowId id) {
    return r.rows[static_cast<size_t>(id)];
}

// One probe read of the RTC's seconds that fails in the sweep (a glitch on the bus) is read
// again: the step still answers, the supply minimum is judged on the real threshold, and the
// note says a read failed once. The read that was made again reached the chip.
TEST_F(CheckRunTest, AGlitchedProbeReadIsReadAgainNotTakenForSilence) {
    settings.accuracySeconds = 3;
    settings.figures.supplyMinVolts = 2.5;
    bool inSweep = false, glitched = false, restore = false;
    size_t selectsAtGlitch = 0, selectsAtNextStep = 0;
    monitor.before = [&](bool write, uint8_t reg) {
        if (!write || reg != kSupplyLevelCommand) return;
        if (glitched && selectsAtNextStep == 0) selectsAtNextStep = writes.Selects(0x32).size();
        inSweep = chips->SupplyVoltage() < 2.95 || inSweep;
    };
    rtc.before = [&](bool write, uint8_t reg) {
        if (restore) {
            Sim().SetAddressAcknowledge(0x32, true);
            restore = false;
        }
        // The first probe read at 2.8 V: the RTC does not acknowledge this once.
        if (!write && reg == kRegSeconds && inSweep && !glitched && chips->SupplyVoltage() < 2.85) {
            glitched = true;
            restore = true;
            writes.Clear();  // the log keeps 1000 a device: count from here
            selectsAtGlitch = writes.Selects(0x32).size();
            Sim().SetAddressAcknowledge(0x32, false);
        }
    };
    const check::CheckResult r = RunCheck();
    ASSERT_TRUE(glitched);
    EXPECT_EQ(r.error, "");
    EXPECT_EQ(selectsAtNextStep - selectsAtGlitch, 3u)
        << "three probe reads reached the RTC at that step, one of them made again; selects "
        << selectsAtGlitch << " then " << selectsAtNextStep;
    int failed = 0;  // at the steps where the RTC answered: above its interface minimum
    for (const check::SweepStep& st : r.sweep) failed += st.rtcAnswers ? st.failedReads : 0;
    EXPECT_EQ(failed, 1);
    const check::CheckRow& minimum = RowOf(r, check::CheckRowId::SupplyMinimum);
    EXPECT_EQ(minimum.verdict, check::Verdict::Pass) << minimum.note;
    EXPECT_NE(minimum.note.find("1 read(s) above it failed once"), std::string::npos)
        << minimum.note;
    EXPECT_TRUE(r.supplyRestored) << r.boardState;
}

// A switch-over between the 1.7 V and 1.6 V steps: its midpoint lies within the half-step and
// the monitor's error of the VCLK minimum, 1.6 V, so the row is undecided, with the bound a hand
// computation of the two steps gives.
TEST_F(CheckRunTest, ASwitchOverAstrideTheVclkMinimumIsUndecided) {
    chips->SetSwitchToBattery(1.63);
    settings.accuracySeconds = 3;
    settings.lowestSupplyVolts = 1.5;
    const check::CheckResult r = RunCheck();
    EXPECT_EQ(r.error, "");
    const check::SweepStep* above = nullptr;
    const check::SweepStep* below = nullptr;
    for (const check::SweepStep& st : r.sweep) {
        if (st.falling && st.tenths == 17) above = &st;
        if (st.falling && st.tenths == 16) below = &st;
    }
    ASSERT_TRUE(above && below);
    ASSERT_FALSE(above->onBattery);
    ASSERT_TRUE(below->onBattery);
    const check::CheckRow& falling = RowOf(r, check::CheckRowId::SwitchToBattery);
    EXPECT_NEAR(falling.value, (above->vddVolts + below->vddVolts) / 2, 1e-9);
    EXPECT_NEAR(falling.uncertainty,
                (above->vddVolts - below->vddVolts) / 2 + 0.0005 * above->vddVolts + 0.00025, 1e-9);
    EXPECT_EQ(falling.verdict, check::Verdict::Undecided) << falling.note;
    EXPECT_EQ(falling.bound, check::BoundKind::Strict);
}

// The TQ5200's tolerance holds at +25 C: a board at 35 C gives no plain verdict, and the
// row says at what temperature it was measured; at 25 C the same run is judged.
TEST_F(CheckRunTest, TheToleranceIsJudgedOnlyAtTheFiguresTemperature) {
    ModelTableArray models;
    ASSERT_TRUE(ReadModelInfo(models, KALENDO_MODEL_FILE));
    settings.figures = check::FiguresOf(models[1]);
    settings.accuracyOnly = true;
    settings.accuracySeconds = 120;
    settings.accuracy.referenceErrorSeconds = 0;
    struct Case {
        double celsius;
        check::Verdict verdict;
        const char* note;
    };
    const Case cases[] = {
        {35, check::Verdict::NotAtCondition,
         "C (+-1 C), the figure holds at +25 C: the comparison alone says pass"},
        {25, check::Verdict::Pass, "; board 25.0 to"},
    };
    for (const Case& c : cases) {
        chips->SetBoardTemperature(c.celsius);
        const check::CheckResult r = RunCheck();
        const check::CheckRow& tolerance = RowOf(r, check::CheckRowId::FrequencyTolerance);
        EXPECT_EQ(tolerance.verdict, c.verdict) << tolerance.note;
        EXPECT_NE(tolerance.note.find(c.note), std::string::npos) << tolerance.note;
        EXPECT_EQ(RowOf(r, check::CheckRowId::MonthlyDeviation).verdict, c.verdict);
        EXPECT_EQ(tolerance.figure, "+/-20.0 ppm at +25 C");
    }
}

// The supply minimum judged strictly both ways: silence at a VDD within the monitor's error of
// the figure is no fail, an answer within it no pass; only beyond that error either way is the
// row decided. The runs are the same on the board (the figure changes nothing sent), so each
// run's steps are those of the first.
TEST_F(CheckRunTest, TheSupplyMinimumIsJudgedStrictlyAstrideItsFigure) {
    settings.accuracySeconds = 3;
    const auto run = [&](double figure) {
        chips = nullptr;
        TearDown();
        SetUp();
        settings.figures.supplyMinVolts = figure;
        return RunCheck();
    };
    const check::CheckResult first = run(2.5);
    const check::SweepStep* lowest = nullptr;
    const check::SweepStep* silent = nullptr;
    for (const check::SweepStep& st : first.sweep) {
        if (!st.falling) break;
        if (!st.rtcAnswers) {
            silent = &st;
            break;
        }
        lowest = &st;
    }
    ASSERT_TRUE(lowest && silent && silent->rtcSilent);
    const double a = lowest->vddVolts, b = silent->vddVolts;
    struct Case {
        double figure;
        check::Verdict verdict;
    };
    const Case cases[] = {
        {b - 0.0005, check::Verdict::Undecided},  // silent half a millivolt above: within 1 mV
        {b - 0.0020, check::Verdict::Fail},       // silent surely above the figure
        {a + 0.0005, check::Verdict::Undecided},  // answered half a millivolt below: within 1 mV
        {a + 0.0020, check::Verdict::Pass},       // answered surely at or below it
    };
    for (const Case& c : cases) {
        const check::CheckResult r = run(c.figure);
        const check::CheckRow& row = RowOf(r, check::CheckRowId::SupplyMinimum);
        EXPECT_EQ(row.verdict, c.verdict) << c.figure << " against " << a << " / " << b;
        EXPECT_NEAR(row.value, (a + b) / 2, 1e-9);
    }
}

// Each row past its limit when the sample's figure is moved there (the TQ5100's: +-3.8 ppm,
// 0.8 uA, supply from 2.5 V, VCLK from 1.6 V): fail, or "above typical" for a typical current,
// which the data sheet does not forbid; the supply is put back every time.
TEST_F(CheckRunTest, EachRowPastItsLimit) {
    struct Case {
        const char* what;
        std::function<void(sim::EvaluationBoardChips&)> set;
        std::vector<check::CheckRowId> rows;
        double lowestSupply;
        check::Verdict verdict = check::Verdict::Fail;
    };
    using Id = check::CheckRowId;
    const Case cases[] = {
        {"crystal -12 ppm", [](auto& c) { c.SetCrystalPpm(-12); },
         {Id::FrequencyTolerance, Id::MonthlyDeviation}, 1.6},
        {"VDD current 1.2 uA", [](auto& c) { c.SetRtcSupplyCurrent(1.2); }, {Id::TypicalCurrent},
         1.6, check::Verdict::AboveTypical},
        {"silent below 2.7 V", [](auto& c) { c.SetRtcInterfaceMinimum(2.7); }, {Id::SupplyMinimum},
         1.6},
        // Still on VDD at the sweep's floor, the VCLK minimum.
        {"switch to battery at 1.5 V", [](auto& c) { c.SetSwitchToBattery(1.5); },
         {Id::SwitchToBattery}, 1.6},
        // Swept lower by the user's leave: both switch-overs found, both below 1.6 V.
        {"switch-over 1.4 V down, 1.5 V up",
         [](auto& c) {
             c.SetSwitchToBattery(1.4);
             c.SetSwitchToSupply(1.5);
         },
         {Id::SwitchToBattery, Id::SwitchToSupply}, 1.2},
        {"battery current 1.0 uA", [](auto& c) { c.SetRtcBatteryCurrent(1.0); }, {Id::BatteryCurrent},
         1.6, check::Verdict::AboveTypical},
        // A battery below the timekeeping minimum stops the oscillator while it carries the RTC.
        {"flat battery", [](auto& c) { c.SetBatteryVoltage(0.9); }, {Id::Timekeeping}, 1.6},
    };
    for (const Case& k : cases) {
        chips = nullptr;
        TearDown();
        SetUp();
        k.set(*chips);
        settings.accuracySeconds = 180;
        settings.accuracy.referenceErrorSeconds = 0;
        settings.lowestSupplyVolts = k.lowestSupply;
        const check::CheckResult r = RunCheck();
        EXPECT_EQ(r.error, "") << k.what;
        for (const check::CheckRowId id : k.rows) {
            const check::CheckRow& row = RowOf(r, id);
            EXPECT_EQ(row.verdict, k.verdict) << k.what << ": " << row.name << " " << row.value
                                              << " +- " << row.uncertainty << "; " << row.note;
        }
        EXPECT_TRUE(r.supplyRestored) << k.what << ": " << r.boardState;
    }
}

}  // namespace
}  // namespace kalendo::testing
