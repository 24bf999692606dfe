// The battery-backed RTC state across runs of the program.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "chip_test_support.h"

namespace kalendo::sim::testing {
namespace {

namespace fs = std::filesystem;

class RtcStateFileTest : public ::testing::Test {
  protected:
    RtcStateFileTest() {
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        directory_ = fs::temp_directory_path() /
                     ("kalendo-chips-" +
                      std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
                      "-" + std::to_string(stamp));
        fs::create_directories(directory_);
        path_ = (directory_ / "rtc-state.txt").string();
    }
    ~RtcStateFileTest() override {
        std::error_code ignored;
        fs::remove_all(directory_, ignored);
    }

    ChipsConfig Config(RtcModel model) { return ChipsConfig{model, &clock_, 1, path_}; }

    static std::string Contents(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    static void Replace(const std::string& path, const std::string& text) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    }

    VirtualClock clock_;
    fs::path directory_;
    std::string path_;
};

TEST_F(RtcStateFileTest, RegistersAndTimeSurviveARestart) {
    {
        EvaluationBoardChips chips(Config(RtcModel::Tq5100));
        SetRtcTime(chips.Rtc(), {2024, 5, 6, 10, 20, 30, 0x02});
        WriteBytes(chips.Rtc(), 0x07, {0x5A, 0x15, 0x08, 0x86});
        WriteBytes(chips.Rtc(), 0x18, {0x01});
    }
    VirtualClock otherRun;  // a new program run starts its own clock at 0
    EvaluationBoardChips chips(ChipsConfig{RtcModel::Tq5100, &otherRun, 1, path_});
    EXPECT_EQ(chips.StateFileMessage(), "");
    EXPECT_EQ(ReadBytes(chips.Rtc(), 0x07, 4), (std::vector<uint8_t>{0x5A, 0x15, 0x08, 0x86}));
    EXPECT_EQ(ReadByte(chips.Rtc(), 0x18), 0x01);
    const RtcTime now = ReadRtcTime(chips.Rtc());
    EXPECT_EQ(ToText({now.year, now.month, now.day, now.hour, now.minute, 0, now.week}),
              ToText({2024, 5, 6, 10, 20, 0, 0x02}));
    EXPECT_GE(now.second, 30);
    EXPECT_LE(now.second, 32);  // the host clock moved on a little between the two runs
}

TEST_F(RtcStateFileTest, ChipKeepsCountingWhileTheProgramIsNotRunning) {
    {
        EvaluationBoardChips chips(Config(RtcModel::Tq5200));
        SetRtcTime(chips.Rtc(), {2024, 5, 6, 10, 20, 30, 0x02});
        WriteBytes(chips.Rtc(), 0x08, {0x00, 0x11, 0x80});  // alarm at 11:00 any day
        WriteBytes(chips.Rtc(), 0x0E, {0x00});
    }
    // Pretend the state was saved two hours earlier than it was.
    std::string text = Contents(path_);
    const std::string key = "tq5200.saved_at_host_us=";
    const size_t at = text.find(key);
    ASSERT_NE(at, std::string::npos);
    const size_t end = text.find('\n', at);
    const long long savedAt = std::stoll(text.substr(at + key.size(), end - at - key.size()));
    text.replace(at + key.size(), end - at - key.size(), std::to_string(savedAt - 7200000000LL));
    Replace(path_, text);

    EvaluationBoardChips chips(Config(RtcModel::Tq5200));
    const RtcTime now = ReadRtcTime(chips.Rtc());
    EXPECT_EQ(now.hour, 12);
    EXPECT_EQ(now.minute, 20);
    EXPECT_EQ(ReadByte(chips.Rtc(), 0x0E) & 0x08, 0x08) << "the alarm matched meanwhile";
}

// The gap is counted at the crystal's rate the RTC had when it was put away, whatever the next
// run starts with (its settings come after the board is built), and what the crystal has aged
// goes with it. On a battery below the timekeeping minimum the time stood still.
TEST_F(RtcStateFileTest, TheGapIsCountedAtTheCrystalsRateAndItsAgingIsKept) {
    struct Case {
        const char* what;
        double battery;
        int secondsAfter;  // from 10:20:30, two hours later by the host
    };
    const Case cases[] = {{"battery 3.0 V", 3.0, 7272}, {"battery 0.5 V", 0.5, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(path_);
        {
            EvaluationBoardChips chips(Config(RtcModel::Tq5100));
            chips.SetCrystalPpm(10000);
            chips.SetCrystalAging(36525);  // 100 ppm a day
            SetRtcTime(chips.Rtc(), {2024, 5, 6, 10, 20, 30, 0x02});
            chips.SetBatteryVoltage(c.battery);
            clock_.AdvanceSeconds(864);  // a hundredth of a day: 1 ppm aged
        }
        std::string text = Contents(path_);
        const size_t agedBefore = text.find("tq5100.crystal_aged_ppm=");
        ASSERT_NE(agedBefore, std::string::npos) << text;
        EXPECT_NEAR(std::stod(text.substr(agedBefore + 24)), 1.0, 1e-9);
        const std::string key = "tq5100.saved_at_host_us=";
        const size_t at = text.find(key);
        ASSERT_NE(at, std::string::npos);
        const size_t end = text.find('\n', at);
        const long long savedAt = std::stoll(text.substr(at + key.size(), end - at - key.size()));
        text.replace(at + key.size(), end - at - key.size(),
                     std::to_string(savedAt - 7200000000LL));
        Replace(path_, text);

        VirtualClock nextRun;
        EvaluationBoardChips chips(ChipsConfig{RtcModel::Tq5100, &nextRun, 1, path_});
        const RtcTime now = ReadRtcTime(chips.Rtc());
        // 864 s at 10000 ppm and up to 1 ppm of aging before saving: 872.64 s, then the gap:
        // 7200 s at 10001 ppm, plus 100 ppm a day over two hours (0.03 s), on a good battery.
        const int elapsed = (now.hour - 10) * 3600 + (now.minute - 20) * 60 + now.second - 30;
        const int expected = 872 + c.secondsAfter;
        EXPECT_GE(elapsed, expected);
        EXPECT_LE(elapsed, expected + 1);  // the host clock moved on a little meanwhile
        // The crystal aged on the shelf whether it ran or not: 1 ppm, and 100 ppm a day for 2 h.
        chips.SaveState();
        const std::string saved = Contents(path_);
        const size_t aged = saved.find("tq5100.crystal_aged_ppm=");
        ASSERT_NE(aged, std::string::npos);
        EXPECT_NEAR(std::stod(saved.substr(aged + 24)), 1 + 100.0 / 12, 0.01);
    }
}

// The time spent loading is counted once: the gap ends on the wall clock at the moment the
// chip starts counting on its own clock. A clock that moves 5 ms at every reading makes any
// double count plain.
TEST_F(RtcStateFileTest, TheTimeSpentLoadingIsCountedOnce) {
    constexpr int64_t kSavedAt = 1781000000LL * 1000000;
    {
        ChipsConfig config = Config(RtcModel::Tq5100);
        config.wallClockMicros = [] { return kSavedAt; };
        EvaluationBoardChips chips(config);
        SetRtcTime(chips.Rtc(), {2024, 5, 6, 10, 20, 30, 0x02});  // .000000 on the virtual clock
    }
    class SteppingClock : public SimClock {
      public:
        int64_t NowMicros() const override {
            const int64_t t = now_;
            now_ += 5000;
            return t;
        }
        int64_t Peek() const { return now_; }

      private:
        mutable int64_t now_ = 0;
    } stepping;
    ChipsConfig config{RtcModel::Tq5100, &stepping, 1, path_};
    // Two hours later by the wall clock, which moves with the stepping clock from then on.
    config.wallClockMicros = [&] { return kSavedAt + 7200000000LL + stepping.Peek(); };
    int64_t savedAgain = 0;
    {
        EvaluationBoardChips chips(config);
        chips.SaveState();
        savedAgain = config.wallClockMicros();
    }
    const std::string text = Contents(path_);
    const auto value = [&](const std::string& key) {
        const size_t at = text.find("tq5100." + key + "=");
        EXPECT_NE(at, std::string::npos) << key;
        return std::stoll(text.substr(at + key.size() + 8));
    };
    // The chip ran exactly as long as the wall clock says: from 10:20:30.000 to the last save.
    const int64_t elapsed = value("saved_at_host_us") - kSavedAt;
    EXPECT_LE(value("saved_at_host_us"), savedAgain);
    const size_t registers = text.find("tq5100.registers=");
    ASSERT_NE(registers, std::string::npos);
    const int seconds = std::stoi(text.substr(registers + 17, 2));
    const int minutes = std::stoi(text.substr(registers + 19, 2));
    const int hours = std::stoi(text.substr(registers + 21, 2));
    const int64_t counted =
        ((hours - 10) * 3600 + (minutes - 20) * 60 + (seconds - 30)) * 1000000LL +
        value("subsecond_us");
    EXPECT_EQ(counted, elapsed);
}

TEST_F(RtcStateFileTest, BothModelsKeepTheirOwnState) {
    for (const RtcModel model : {RtcModel::Tq5100, RtcModel::Tq5200}) {
        EvaluationBoardChips chips(Config(model));
        WriteBytes(chips.Rtc(), 0x07, {static_cast<uint8_t>(model == RtcModel::Tq5100 ? 1 : 2)});
    }
    for (const RtcModel model : {RtcModel::Tq5100, RtcModel::Tq5200}) {
        EvaluationBoardChips chips(Config(model));
        EXPECT_EQ(ReadByte(chips.Rtc(), 0x07), model == RtcModel::Tq5100 ? 1 : 2);
    }
}

TEST_F(RtcStateFileTest, UnreadableFileGivesAFreshChipAndIsKeptAside) {
    const char* const cases[] = {
        "not a state file at all\n",
        "kalendo rtc state 1\ntq5100.registers=zz\n",
        "kalendo rtc state 1\ntq5100.saved_at_host_us=12\n",  // section incomplete
        "kalendo rtc state 1\nsomething=else\n",
        "kalendo rtc state 1\nno equals sign here\n",
        "\x01\x02\xff\xfe binary",
        "",
    };
    for (const char* contents : cases) {
        SCOPED_TRACE(contents);
        Replace(path_, contents);
        {
            EvaluationBoardChips chips(Config(RtcModel::Tq5100));
            EXPECT_NE(chips.StateFileMessage().find(path_), std::string::npos)
                << chips.StateFileMessage();
            EXPECT_EQ(ToText(ReadRtcTime(chips.Rtc())), ToText({2000, 1, 1, 0, 0, 0, 0x40}));
            EXPECT_EQ(Contents(path_ + ".corrupt"), contents);
            WriteBytes(chips.Rtc(), 0x07, {0x77});
        }
        EvaluationBoardChips next(Config(RtcModel::Tq5100));
        EXPECT_EQ(next.StateFileMessage(), "");
        EXPECT_EQ(ReadByte(next.Rtc(), 0x07), 0x77);
        fs::remove(path_);
    }
}

TEST_F(RtcStateFileTest, MissingFileGivesAFreshChipQuietly) {
    EvaluationBoardChips chips(Config(RtcModel::Tq5100));
    EXPECT_EQ(chips.StateFileMessage(), "");
    EXPECT_EQ(ReadByte(chips.Rtc(), 0x04), 0x01);
}

TEST_F(RtcStateFileTest, UnwritableFileIsReportedNotFatal) {
    path_ = (directory_ / "missing-folder" / "rtc-state.txt").string();
    EvaluationBoardChips chips(Config(RtcModel::Tq5100));
    chips.SaveState();
    EXPECT_NE(chips.StateFileMessage().find("cannot be written"), std::string::npos);
}

}  // namespace
}  // namespace kalendo::sim::testing
