// drift on the simulated board with a crystal error: the offset recovered, the facts around it,
// the CSV, and a board lost part-way. On the virtual clock a minute of polling takes no waiting.
#include <gtest/gtest.h>

#include <algorithm>

#include <cmath>
#include <csignal>
#include <functional>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/cli/cli_board_fixture.h"

namespace kalendo::testing {
namespace {

// The value of "name: value" in line output; NaN when it is not there.
double Fact(const std::string& out, const std::string& name) {
    const std::string text = "\n" + out;
    const size_t at = text.find("\n" + name + ": ");
    if (at == std::string::npos) return std::nan("");
    return std::strtod(text.c_str() + at + name.size() + 3, nullptr);
}

class DriftCommandTest : public CliBoardTest {};

TEST_F(DriftCommandTest, RecoversALargeOffsetWithinFivePercentInFifteenSeconds) {
    chips->SetCrystalPpm(5000);
    const double start = BoardSeconds();
    // An exact reference: the run's own uncertainty alone.
    const cli::CliRun run = Run({"drift", "--minutes", "0.25", "--reference-error-ms", "0"});
    ASSERT_EQ(run.status, cli::kExitOk) << run.err;
    EXPECT_LT(BoardSeconds() - start, 20.0);
    const double ppm = Fact(run.out, "offset_ppm");
    const double uncertainty = Fact(run.out, "uncertainty_ppm");
    EXPECT_NEAR(ppm, 5000, 250) << run.out;
    EXPECT_NEAR(ppm, 5000, uncertainty) << run.out;
    EXPECT_LT(uncertainty, 200) << run.out;
    EXPECT_GE(Fact(run.out, "transitions"), 13) << run.out;
    EXPECT_NEAR(Fact(run.out, "seconds_per_month"), 5000 * 2.6297, 250 * 2.63);
    // The TQ5100's data sheet allows +-3.8 ppm.
    EXPECT_NE(run.out.find("tolerance_ppm: 3.8\nwithin_tolerance: no\n"), std::string::npos)
        << run.out;
    std::printf("drift +5000 ppm over 15 s: %.1f +- %.1f ppm\n", ppm, uncertainty);
}

TEST_F(DriftCommandTest, SlowCrystalTemperatureAndOffsetFromThePcClock) {
    // At 45 degrees a 0.034 ppm/degree^2 crystal loses 13.6 ppm; -300 ppm more makes it plain.
    chips->SetCrystalPpm(-300);
    chips->SetCrystalTempco(0.034);
    chips->SetBoardTemperature(45.0);
    ASSERT_EQ(Run({"time", "sync"}).status, cli::kExitOk);
    const cli::CliRun run =
        Run({"--model", "TQ5200", "drift", "--minutes", "1", "--reference-error-ms", "0"});
    ASSERT_EQ(run.status, cli::kExitOk) << run.err;
    const double ppm = Fact(run.out, "offset_ppm");
    const double uncertainty = Fact(run.out, "uncertainty_ppm");
    EXPECT_NEAR(ppm, -313.6, uncertainty) << run.out;
    EXPECT_LT(uncertainty, 30) << run.out;
    EXPECT_NEAR(Fact(run.out, "board_temperature_mean_c"), 45.0, 0.1) << run.out;
    // Synchronised to the whole second of the PC, then 60 s at -313.6 ppm: 0 to 1 s behind,
    // plus the 19 ms lost.
    const double offsetMs = Fact(run.out, "rtc_minus_pc_ms");
    EXPECT_LT(offsetMs, -15) << run.out;
    EXPECT_GT(offsetMs, -1100) << run.out;
    EXPECT_NE(run.out.find("model: TQ5200\n"), std::string::npos);
    EXPECT_NE(run.out.find("tolerance_ppm: 20.0\nwithin_tolerance: no\n"), std::string::npos)
        << run.out;
}

// The TQ5100 allows +-3.8 ppm and +-9.9 s a month: a verdict only where the whole uncertainty
// range, the reference's part included, is on one side of the limit.
TEST_F(DriftCommandTest, ToleranceVerdictWaitsForEnoughCertainty) {
    struct Case {
        double ppm;
        const char* minutes;
        const char* referenceErrorMs;
        const char* verdict;
    };
    const Case cases[] = {{+1, "10", "0", "yes"},
                          {+1, "0.25", "0", "undecided"},
                          {-12, "10", "0", "no"},
                          // 10 ms of the system clock's error is +-33 ppm over 10 minutes.
                          {+1, "10", "10", "undecided"}};
    for (const Case& c : cases) {
        chips->SetCrystalPpm(c.ppm);
        const cli::CliRun run =
            Run({"drift", "--minutes", c.minutes, "--reference-error-ms", c.referenceErrorMs});
        if (std::string(c.referenceErrorMs) == "10") {
            // Over the span between the two marks, half an end window in from each end.
            EXPECT_NEAR(Fact(run.out, "reference_uncertainty_ppm"),
                        2 * 0.010 / Fact(run.out, "span_s") * 1e6, 0.05)
                << run.out;
            EXPECT_NEAR(Fact(run.out, "span_s"), 570, 2) << run.out;
        }
        ASSERT_EQ(run.status, cli::kExitOk) << run.err;
        EXPECT_NE(run.out.find(std::string("within_tolerance: ") + c.verdict + "\n"),
                  std::string::npos)
            << run.out;
        EXPECT_NE(run.out.find(std::string("within_monthly_deviation: ") + c.verdict + "\n"),
                  std::string::npos)
            << run.out;
    }
}

// The reference is the system clock: a performance counter 40 ppm fast only narrows the
// brackets, its rate is reported, and the result stays where it is.
TEST_F(DriftCommandTest, ACounterOffTheSystemClockDoesNotMoveTheResult) {
    chips->SetCrystalPpm(25);
    cli::CommandContext context;
    context.clocks.monotonicSeconds = [this] { return 7 + BoardSeconds() * (1 + 40e-6); };
    context.clocks.systemSeconds = [this] { return BoardSeconds(); };
    context.clocks.localSecondsOfDay = [this] { return BoardSeconds(); };
    context.localNow = [] { return kPcStart; };
    context.modelFile = KALENDO_MODEL_FILE;
    const cli::CliRun run =
        cli::RunCli({"drift", "--minutes", "2", "--reference-error-ms", "0"}, context);
    ASSERT_EQ(run.status, cli::kExitOk) << run.err;
    EXPECT_NEAR(Fact(run.out, "offset_ppm"), 25, Fact(run.out, "uncertainty_ppm")) << run.out;
    EXPECT_LT(Fact(run.out, "uncertainty_ppm"), 10) << run.out;
    EXPECT_NEAR(Fact(run.out, "counter_ppm"), 40, 0.5) << run.out;
    EXPECT_NE(run.out.find("reference: system clock\n"), std::string::npos) << run.out;
}

TEST_F(DriftCommandTest, WritesNothingToTheChipAndOneCsvRowPerTransition) {
    chips->SetCrystalPpm(100);
    const std::filesystem::path csv =
        std::filesystem::temp_directory_path() / "kalendo-cli-drift-test.csv";
    std::filesystem::remove(csv);
    writes.Clear();
    const cli::CliRun run = Run({"drift", "--minutes", "0.2", "--csv", csv.string()});
    ASSERT_EQ(run.status, cli::kExitOk) << run.err;
    EXPECT_TRUE(writes.Writes(0x32).empty());
    EXPECT_TRUE(writes.Writes(0x40).empty());
    std::ifstream in(csv);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "transition,pc_s,pc_half_width_ms,rtc_s,rtc_minus_pc_ms");
    int rows = 0;
    while (std::getline(in, line)) ++rows;
    EXPECT_EQ(rows, Fact(run.out, "transitions"));
    in.close();  // Windows removes no file that is open
    std::filesystem::remove(csv);
}

// A few reads that fail (short answers, an RTC that misses its acknowledge now and then) are
// skipped and counted; the rate comes out as without them.
TEST_F(DriftCommandTest, RidesOutFailedReadsAndCountsThem) {
    chips->SetCrystalPpm(200);
    int glitches = 0;
    onClockRead = [&](double now) {
        // Three short reads and one missed acknowledge, spread over the run.
        if (glitches < 3 && now > 10.0 * (glitches + 1)) {
            Sim().SetShortRead(1);
            ++glitches;
        }
        Sim().SetAddressAcknowledge(0x32, !(now > 35.0 && now < 36.0));
    };
    const cli::CliRun run = Run({"drift", "--minutes", "1", "--reference-error-ms", "0"});
    ASSERT_EQ(run.status, cli::kExitOk) << run.err;
    EXPECT_GE(Fact(run.out, "failed_reads"), 4) << run.out;
    EXPECT_NEAR(Fact(run.out, "offset_ppm"), 200, Fact(run.out, "uncertainty_ppm")) << run.out;
    EXPECT_GE(Fact(run.out, "transitions"), 55) << run.out;
}

// The run fails only when the board is gone: the power monitor no longer identifies itself, or
// the RTC has not answered for 5 s. The CSV keeps every transition seen before.
TEST_F(DriftCommandTest, BoardLostPartWayFailsAndKeepsTheCsv) {
    struct Case {
        const char* what;
        std::function<void(sim::SimulatedLibrary&)> lose;
        const char* error;
        double endsBefore;  // board seconds
    };
    const Case cases[] = {
        {"RTC silent", [](sim::SimulatedLibrary& s) { s.SetAddressAcknowledge(0x32, false); },
         "ERROR: RTC Time not read, bus error", 11.5},
        // Found at the next temperature read, every 10 s, while the RTC still answers.
        {"power monitor silent",
         [](sim::SimulatedLibrary& s) { s.SetAddressAcknowledge(0x40, false); },
         "ERROR: Board Disconnected", 11.5},
        {"unplugged", [](sim::SimulatedLibrary& s) { s.Unplug(); }, "ERROR: Board Disconnected",
         6.5},
    };
    for (const Case& k : cases) {
        const std::filesystem::path csv =
            std::filesystem::temp_directory_path() / "kalendo-cli-drift-lost.csv";
        std::filesystem::remove(csv);
        Sim().SetAddressAcknowledge(0x32, true);
        Sim().SetAddressAcknowledge(0x40, true);
        const double start = BoardSeconds();
        onClockRead = [&](double now) {
            if (now - start > 5) k.lose(Sim());
        };
        const cli::CliRun run = Run({"--json", "drift", "--minutes", "1", "--csv", csv.string()});
        onClockRead = nullptr;
        Sim().PlugBack();
        EXPECT_EQ(run.status, cli::kExitBoardFailed) << k.what;
        std::ifstream in(csv);
        std::string line;
        int rows = -1;  // the header
        while (std::getline(in, line)) ++rows;
        in.close();  // Windows removes no file that is open
        EXPECT_GE(rows, 3) << k.what;
        EXPECT_EQ(run.err, std::string(k.error) + "; \"" + csv.string() + "\" holds " +
                               std::to_string(rows) + " transitions\n")
            << k.what;
        EXPECT_EQ(run.out, "") << k.what;
        EXPECT_LT(BoardSeconds() - start, k.endsBefore) << k.what;
        std::filesystem::remove(csv);
    }
}

// Ctrl-C ends the run early with its result from what it saw, and the CSV complete so far.
TEST_F(DriftCommandTest, InterruptGivesTheResultSoFar) {
    chips->SetCrystalPpm(5000);
    const std::filesystem::path csv =
        std::filesystem::temp_directory_path() / "kalendo-cli-drift-interrupted.csv";
    onClockRead = [](double now) {
        if (now > 8) std::raise(SIGINT);
    };
    const cli::CliRun run =
        Run({"drift", "--minutes", "10", "--csv", csv.string(), "--reference-error-ms", "0"});
    onClockRead = nullptr;
    ASSERT_EQ(run.status, cli::kExitOk) << run.err;
    EXPECT_NE(run.out.find("interrupted: yes\n"), std::string::npos) << run.out;
    EXPECT_LT(Fact(run.out, "span_s"), 9) << run.out;
    EXPECT_NEAR(Fact(run.out, "offset_ppm"), 5000, 500) << run.out;
    std::ifstream in(csv);
    std::string line;
    int rows = -1;
    while (std::getline(in, line)) ++rows;
    in.close();
    EXPECT_EQ(rows, Fact(run.out, "transitions"));
    std::filesystem::remove(csv);
}

TEST_F(DriftCommandTest, ProgressShowsElapsedTimeAndTheRunningEstimate) {
    chips->SetCrystalPpm(5000);
    std::vector<std::string> lines;
    configure = [&](cli::CommandContext& context) {
        context.progress = [&](const std::string& line) { lines.push_back(line); };
    };
    const cli::CliRun run = Run({"drift", "--minutes", "0.1"});
    ASSERT_EQ(run.status, cli::kExitOk) << run.err;
    ASSERT_GE(lines.size(), 5u);
    // About once a second, the estimate once three transitions are in.
    ASSERT_GE(lines.size(), 4u);
    EXPECT_NE(lines.front().find("waiting for transitions"), std::string::npos) << lines.front();
    EXPECT_EQ(lines.back().rfind("drift: 6 of 6 s, +", 0), 0u) << lines.back();
    EXPECT_NE(lines.back().find(" +- "), std::string::npos) << lines.back();
}

// The reference's error at each end of the span: the kernel's maximum error where it says the
// clock is synchronised at that end, the assumed 10 ms where it does not; the user's figure over
// both. The reference's part of the bound is each mark's own error over the span: the kernel is
// read about once a second, so a mark pays at most half a second of its 500 ppm carry.
TEST_F(DriftCommandTest, ReferenceErrorFromTheKernelTheAssumptionOrTheUser) {
    chips->SetCrystalPpm(50);
    const auto synchronised = [](double ms) { return SystemClockError{true, true, ms / 1000, 0}; };
    const SystemClockError unsynchronised{true, false, 16.0, 16.0};
    const SystemClockError unknown{};
    // The kernel's word in the run's first half and in its second.
    struct Case {
        SystemClockError first, second;
        std::vector<std::string> options;
        double startMs, endMs;
        const char* from;
        const char* why;
        double partMs;  // the two marks' errors; 0: not asserted (a carry decides)
    };
    const Case cases[] = {
        {synchronised(2), synchronised(4), {}, 2, 4, "kernel",
         "2.000 ms; at the end: the kernel's maximum error of the synchronised system clock "
         "(adjtimex), 4.000 ms", 6},
        {synchronised(4), synchronised(2), {}, 4, 2, "kernel", "4.000 ms; at the end", 6},
        {synchronised(2), unsynchronised, {}, 2, 10, "kernel and assumed",
         "not synchronised", 0},
        {unknown, unknown, {}, 10, 10, "assumed", "reports no maximum error of its clock", 20},
        {synchronised(2), synchronised(4), {"--reference-error-ms", "7"}, 7, 7, "option",
         "given by --reference-error-ms", 14},
    };
    for (const Case& c : cases) {
        const double start = BoardSeconds();
        os.clockErrorNow = [&] { return BoardSeconds() - start < 30 ? c.first : c.second; };
        os.clockQueries = 0;
        std::vector<std::string> args = {"drift", "--minutes", "1"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const cli::CliRun run = Run(args);
        ASSERT_EQ(run.status, cli::kExitOk) << c.from << ": " << run.err;
        EXPECT_DOUBLE_EQ(Fact(run.out, "reference_error_start_ms"), c.startMs) << run.out;
        EXPECT_DOUBLE_EQ(Fact(run.out, "reference_error_end_ms"), c.endMs) << run.out;
        EXPECT_DOUBLE_EQ(Fact(run.out, "reference_error_ms"), std::max(c.startMs, c.endMs));
        EXPECT_NE(run.out.find(std::string("reference_error_from: ") + c.from + "\n"),
                  std::string::npos) << run.out;
        EXPECT_NE(run.out.find(c.why), std::string::npos) << run.out;
        if (c.partMs > 0) {
            // Each mark's own error, not the start's at both nor the larger; at most a quarter
            // of a millisecond of carry each.
            const double span = Fact(run.out, "span_s");
            const double part = Fact(run.out, "reference_uncertainty_ppm") * span / 1e3;
            EXPECT_GE(part, c.partMs - 1e-6) << run.out;
            EXPECT_LE(part, c.partMs + 0.6) << run.out;
        }
        if (std::string(c.from) == "option") {
            EXPECT_EQ(os.clockQueries, 0);
        }
    }
    os.clockErrorNow = nullptr;
}

}  // namespace
}  // namespace kalendo::testing
