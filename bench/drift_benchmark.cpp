// How precise `kalendo-cli drift` gets with time: the simulated board's RTC runs +8.0 ppm fast,
// the run polls it through the bridge layer on the virtual clock (the latency timer's grid as
// the real bridge has it), and the running estimate is printed after 1, 10 and 60 minutes with
// whether the true +8.0 ppm lies inside its stated uncertainty. For the program's 1 ms latency
// timer and the window's 2 ms, three ways of sleeping between transitions, each from two
// starting phases of the RTC's second.
#include <cmath>
#include <cstdio>
#include <memory>

#include "bench/connected_board.h"
#include "bridge/board_discovery.h"
#include "cli/board_session.h"
#include "check/drift_measurement.h"
#include "sim/chips/evaluation_board_chips.h"
#include "sim/library/simulated_library.h"

namespace {

using namespace kalendo;

constexpr double kTruePpm = 8.0;
constexpr int kReportMinutes[] = {1, 10, 60};

class BenchDriftBoard final : public check::DriftBoard {
  public:
    explicit BenchDriftBoard(cli::BoardSession& board) : board_(board) {}
    bool ReadSeconds(uint8_t* bcd, LatchTiming* latch) override {
        *latch = LatchTiming();
        return board_.ReadRtc(0x00, bcd);
    }
    bool ReadHoursMinutes(uint8_t* h, uint8_t* m) override {
        return board_.ReadRtc(0x02, h) && board_.ReadRtc(0x01, m);
    }
    bool ReadBoardCelsius(double* celsius) override {
        *celsius = 25;
        return true;
    }
    bool BoardPresent() override { return board_.PowerMonitorAnswers(); }

  private:
    cli::BoardSession& board_;
};

double BoardSeconds() {
    return static_cast<double>(sim::Simulator().Clock().NowPs()) / 1e12;
}

// How the host sleeps between a transition and the next: not at all (poll without pause), in
// whole milliseconds as the program's Sleep does (so every poll stays on the latency timer's
// grid, since the simulator models no host timing jitter), or to the picosecond, standing for
// a real host whose wake-ups and USB turn-around are not locked to the bridge's timer.
enum class HostWait { None, WholeMilliseconds, Exact };
const char* const kWaitNames[] = {"no pause", "whole ms", "exact"};

void Run(uint8_t latencyMs, double phaseSeconds, HostWait wait) {
    const bench::SimulatedBoard simulated(kTruePpm);
    sim::Simulator().WithLock(
        [&] { sim::Simulator().Clock().AdvancePs(static_cast<int64_t>(phaseSeconds * 1e12)); });
    {
        cli::BoardSession session;
        std::string error;
        if (!session.Open(&error, latencyMs)) {
            std::printf("board not opened: %s\n", error.c_str());
            return;
        }
        BenchDriftBoard board(session);
        check::PcClocks clocks{BoardSeconds, BoardSeconds};
        check::DriftSettings settings;
        settings.seconds = 60.0 * kReportMinutes[2] + 0.5;
        settings.progressEverySeconds = 60;
        settings.temperatureEverySeconds = 1e9;
        if (wait == HostWait::WholeMilliseconds) {
            settings.wait = [](double s) { Os().SleepMs(static_cast<uint32_t>(s * 1000)); };
        } else if (wait == HostWait::Exact) {
            settings.wait = [](double s) {
                sim::Simulator().WithLock([&] {
                    sim::Simulator().Clock().AdvancePs(static_cast<int64_t>(s * 1e12));
                });
            };
        }
        settings.progress = [&](const check::DriftProgress& p) {
            const int minute = static_cast<int>(std::lround(p.elapsedSeconds / 60));
            for (int report : kReportMinutes) {
                if (minute != report) continue;
                const bool inside = std::fabs(p.fit.ppm - kTruePpm) <= p.fit.ppmUncertainty;
                std::printf("latency %u ms  sleep %-8s  phase %.4f s  %2d min: %+8.3f +- %7.3f ppm  "
                            "(%zu transitions)  true value %s\n",
                            latencyMs, kWaitNames[static_cast<int>(wait)], phaseSeconds, minute, p.fit.ppm, p.fit.ppmUncertainty,
                            p.fit.transitions, inside ? "inside" : "OUTSIDE");
                std::fflush(stdout);
            }
        };
        const check::DriftResult result = check::MeasureDrift(board, clocks, settings);
        if (!result.error.empty()) std::printf("failed: %s\n", result.error.c_str());
    }
}

}  // namespace

int main() {
    std::printf("RTC +%.1f ppm on the simulated board, virtual clock\n", kTruePpm);
    for (HostWait wait : {HostWait::None, HostWait::WholeMilliseconds, HostWait::Exact}) {
        for (uint8_t latency : {uint8_t{1}, uint8_t{2}}) {
            for (double phase : {0.0, 0.3713}) Run(latency, phase, wait);
        }
    }
    return 0;
}
