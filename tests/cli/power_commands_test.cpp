// power and log on the simulated board: the averaged measurement, the window's data-log format,
// and a board that stops answering part-way (no invented values, only whole records).
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/cli/cli_board_fixture.h"

namespace kalendo::testing {
namespace {

std::string FileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

int CountLines(const std::string& text) {
    int n = 0;
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2)) {
        ++n;
    }
    return n;
}

class PowerCommandsTest : public CliBoardTest {
  protected:
    void SetUp() override {
        CliBoardTest::SetUp();
        folder = std::filesystem::temp_directory_path() /
                 ("kalendo-cli-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                  "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
    }
    void TearDown() override {
        std::filesystem::current_path(folder.parent_path());
        std::filesystem::remove_all(folder);
        CliBoardTest::TearDown();
    }
    std::filesystem::path folder;
};

TEST_F(PowerCommandsTest, PowerShowsTheBoardsConditions) {
    chips->SetBatteryVoltage(2.7);
    chips->SetBoardTemperature(31.0);
    ASSERT_EQ(Run({"supply", "2.5"}).status, cli::kExitOk);
    const cli::CliRun run = Run({"--json", "power", "--average", "4"});
    ASSERT_EQ(run.status, cli::kExitOk) << run.err;
    EXPECT_NE(run.out.find("\"vdd_voltage_v\": 2.5,"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\"battery_voltage_v\": 2.7,"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\"temperature_c\": 31.0"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\"readings\": 4"), std::string::npos);
}

TEST_F(PowerCommandsTest, SilentPowerMonitorGivesNoValues) {
    Sim().SetAddressAcknowledge(0x40, false);
    const cli::CliRun run = Run({"power"});
    EXPECT_EQ(run.status, cli::kExitBoardFailed);
    EXPECT_EQ(run.err, "ERROR: Board Disconnected\n");
    EXPECT_EQ(run.out, "");
}

TEST_F(PowerCommandsTest, LogWritesTheWindowsFormatOnceASecond) {
    std::filesystem::current_path(folder);
    const double start = BoardSeconds();
    cli::CliRun run = Run({"log", "--seconds", "3"});
    ASSERT_EQ(run.status, cli::kExitOk) << run.err;
    EXPECT_NEAR(BoardSeconds() - start, 3.0, 0.5);  // the last record's measurement too
    // Named from the PC's time at the start, in the current folder, as the window names it.
    EXPECT_EQ(run.out, "file: datalog_03142026_092653.txt\nrecords: 4\n");
    const std::string text = FileText(folder / "datalog_03142026_092653.txt");
    EXPECT_EQ(CountLines(text), 2 + 4) << text;  // title, columns, one record a second

    // A file named by the caller holds the same lines; an existing one is never replaced.
    run = Run({"--model", "TQ5200", "log", "--seconds", "1", "--out", "bench.txt"});
    ASSERT_EQ(run.status, cli::kExitOk) << run.err;
    const std::string named = FileText(folder / "bench.txt");
    EXPECT_EQ(CountLines(named), 2 + 2);
    EXPECT_EQ(named.find("Battery"), std::string::npos) << "the TQ5200 logs no battery columns";
    run = Run({"log", "--seconds", "1", "--out", "bench.txt"});
    EXPECT_EQ(run.status, cli::kExitBoardFailed);
    EXPECT_EQ(FileText(folder / "bench.txt"), named);
}

TEST_F(PowerCommandsTest, BoardLostDuringALogLeavesOnlyWholeMeasuredRecords) {
    onClockRead = [this](double now) {
        if (now > 2.5) Sim().SetAddressAcknowledge(0x40, false);
    };
    const cli::CliRun run = Run({"log", "--seconds", "10", "--out", (folder / "lost.txt").string()});
    EXPECT_EQ(run.status, cli::kExitBoardFailed);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("ERROR: Power not measured"), std::string::npos) << run.err;
    const std::string text = FileText(folder / "lost.txt");
    const int records = CountLines(text) - 2;
    EXPECT_GE(records, 2);
    EXPECT_LE(records, 3);
    EXPECT_NE(run.err.find("the log holds " + std::to_string(records) + " records"),
              std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    // A failed read's code 0xFFFF would show as 16.4 V or 1048.6 degrees.
    EXPECT_EQ(text.find("16.4"), std::string::npos) << text;
    EXPECT_EQ(text.find("1048"), std::string::npos) << text;
}

}  // namespace
}  // namespace kalendo::testing
