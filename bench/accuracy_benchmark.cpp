// How good the data-sheet check's accuracy measurement (kalendo_check) gets with time, on the
// simulated board with its modelled USB round trip, on the virtual clock so an hour takes seconds.
//
// The polls are made as the check makes them: the performance counter read, the seconds register
// read through the bridge's port with immediate answers (one combined burst: register written,
// repeated START, byte read, send-immediate; --two-bursts reads it as the pages do, select then
// read), the counter read again; each bracket ends where the read can have latched the second
// at the latest (the answer's wire time taken off). At each change of the second the system clock
// is read, with the counter right after it. Between reads the host has a random scheduling
// jitter, and it sleeps between transitions. The PC's two clocks are modelled against true time
// (the board's clock): the counter runs 40 ppm fast, the system clock wanders about true time
// within 0.8 ms, slewed as a PC kept on time over a network is. The same polls are also evaluated
// with an exact counter, to show that the counter's rate does not move the result.
//
// Cases: two crystal offsets at four starting phases with steady rates, and rates that ramp by
// 1 ppm over the run (the RTC's crystal, or the PC's counter, either sign). After 1, 10 and 60
// minutes: the mean offset measured between the result's two marks, the run's part of its bound,
// the whole bound with the reference's part at e = 10 ms and at e = 1 ms, and whether the truth
// (the RTC's mean rate between the marks' instants) lies inside each.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "bench/connected_board.h"
#include "bridge/bridge_state.h"
#include "bridge/register_port.h"
#include "bridge/i2c_engine.h"
#include "bridge/register_access.h"
#include "check/accuracy_measurement.h"
#include "rtc/rtc_registers.h"
#include "sim/chips/evaluation_board_chips.h"
#include "sim/library/simulated_library.h"

namespace {

using namespace kalendo;

constexpr double kCrystalPpm[] = {+2.5, -17.0};
constexpr double kPhaseSeconds[] = {0.0, 0.3713, 0.618, 0.8945};
constexpr double kReferenceErrors[] = {0.010, 0.001};

// The performance counter: 10 MHz nominal, 40 ppm fast, three days since the PC started.
constexpr double kCounterHz = 1e7;
constexpr double kCounterPpm = 40.0;
constexpr double kCounterOriginSeconds = 3 * 86400.0 + 0.123456;
// The system clock: 100 ns readings, off true time by 0.8 ms sin(2 pi t / 1000 s + phase), so
// slewed by at most 5 ppm and within both assumed errors (10 ms and 1 ms) at every moment.
constexpr double kSystemTickSeconds = 1e-7;
constexpr double kSystemWanderSeconds = 0.0008;
constexpr double kSystemWanderPeriodSeconds = 1000.0;
constexpr double kPi = 3.14159265358979323846;

// The poller wakes this long before the next transition it expects.
constexpr double kWakeEarlySeconds = 0.020;

// What a run can change from the command line, to show what a bracket is made of.
struct Options {
    bool twoBursts = false;  // select, then read (the pages' read) instead of one burst
    uint32_t roundTripUs = sim::kDefaultUsbRoundTripUs;
    bool fastMode = false;  // the bus at 400 kHz instead of the program's 100 kHz
};

double BoardSeconds() {
    return static_cast<double>(sim::Simulator().Clock().NowPs()) / 1e12;
}

// The host's time passing: the board's virtual clock moves on by it.
void Pass(double seconds) {
    const auto ps = static_cast<int64_t>(std::llround(seconds * 1e12));
    sim::Simulator().WithLock([&] { sim::Simulator().Clock().AdvancePs(ps); });
}

// Where a real poll loop loses time, at random but repeatably for a seed.
class HostJitter {
  public:
    explicit HostJitter(uint64_t seed) : random_(seed) {}
    // The loop's own turn from one read to the next: tens of microseconds, and now and then a
    // few milliseconds while another thread has the core.
    void BetweenReads() { Pass(Uniform(5e-6, 60e-6) + Preempted(0.02, 0.2e-3, 4e-3)); }
    // Between a clock reading and the library call beside it.
    void BetweenCalls() { Pass(Uniform(1e-6, 15e-6) + Preempted(0.002, 0.2e-3, 2e-3)); }
    // Sleep() in whole milliseconds with a 1 ms timer: up to 1.5 ms late, now and then a whole
    // 15.6 ms tick.
    void Sleep(double seconds) {
        const double ms = std::floor(std::max(0.0, seconds) * 1000);
        Pass(ms / 1000 + Uniform(0.05e-3, 1.5e-3) + Preempted(0.01, 2e-3, 15.6e-3));
    }

  private:
    double Uniform(double low, double high) {
        return std::uniform_real_distribution<double>(low, high)(random_);
    }
    double Preempted(double chance, double low, double high) {
        return Uniform(0, 1) < chance ? Uniform(low, high) : 0;
    }
    std::mt19937_64 random_;
};

// --- the seconds read ----------------------------------------------------------------------

// Every burst goes to the library after the host's turn-around since its last call.
FtWriteFn gLibraryWrite = nullptr;
HostJitter* gHost = nullptr;

FtStatus KALENDO_FTAPI WriteAfterTurnAround(FtHandle h, const void* buffer, uint32_t count,
                                            uint32_t* written) {
    gHost->BetweenCalls();
    return gLibraryWrite(h, buffer, count, written);
}

// One read, with the true times at which the counter was read before and after it, and the
// earliest and latest true times the chip can have latched the second.
struct SecondsRead {
    int second = -1;
    double before = 0;
    double after = 0;
    double earliest = 0;
    double latest = 0;
};

int SecondsFromBcd(uint32_t bcd) {
    return static_cast<int>((bcd >> 4 & 0x07) * 10 + (bcd & 0x0F));
}

bool ReadSeconds(bool twoBursts, SecondsRead* r) {
    DevicePort rtc(bench::kRtc, AnswerTiming::Immediate);
    r->before = BoardSeconds();
    uint32_t bcd = 0;
    LatchTiming latch;
    const bool ok = twoBursts ? rtc.Read(kRegSeconds, 8, &bcd)
                              : rtc.ReadTimed(kRegSeconds, 8, &bcd, &latch);
    if (!ok) return false;
    r->second = SecondsFromBcd(bcd);
    gHost->BetweenCalls();
    r->after = BoardSeconds();
    r->earliest = r->before + latch.afterStartSeconds;
    r->latest = r->after - latch.beforeEndSeconds;
    return true;
}

// --- the run -------------------------------------------------------------------------------

// One caught transition in true time; the PC's clocks are applied afterwards, so the same polls
// can be read with an exact counter too.
struct TruePoll {
    double before;       // counter read before the read that still showed the old second
    double after;        // the latest the read that showed the new one can have latched it
    int64_t rtcSeconds;  // the new second, counted from the run's first
    double system;       // system clock read
    double afterSystem;  // counter read after it
};

struct Run {
    bool ok = false;
    std::vector<TruePoll> polls;
    int missed = 0;  // transitions slept through (the first read after waking showed them)
};

// The crystal's offset as it changes over the run: set at each transition, and kept as steps so
// the truth can be summed exactly.
struct CrystalRamp {
    double startPpm = 0;
    double rampPpm = 0;  // change over the whole run
    double from = 0, length = 1;
    std::vector<std::pair<double, double>> steps;  // (board seconds, ppm from then on)
    double PpmAt(double t) const { return startPpm + rampPpm * (t - from) / length; }
    // RTC seconds elapsed between two board times, as the simulated crystal ran.
    double RtcBetween(double a, double b) const {
        double sum = 0;
        for (size_t i = 0; i < steps.size(); ++i) {
            const double s0 = std::max(a, steps[i].first);
            const double s1 = std::min(b, i + 1 < steps.size() ? steps[i + 1].first : b);
            if (s1 > s0) sum += (s1 - s0) * (1 + steps[i].second * 1e-6);
        }
        return sum;
    }
};

void SetCrystal(bench::ConnectedBoard& board, CrystalRamp& ramp, double t) {
    const double ppm = ramp.PpmAt(t);
    sim::Simulator().WithLock([&] { board.Chips().SetCrystalPpm(ppm); });
    ramp.steps.emplace_back(t, ppm);
}

Run PollFor(double seconds, bool twoBursts, HostJitter& host, bench::ConnectedBoard& board,
            CrystalRamp& ramp) {
    Run run;
    SecondsRead previous;
    if (!ReadSeconds(twoBursts, &previous)) return run;
    int64_t count = 0;
    double lastAfterSystem = -1e300;
    const double end = BoardSeconds() + seconds;
    while (BoardSeconds() < end) {
        host.BetweenReads();
        SecondsRead read;
        if (!ReadSeconds(twoBursts, &read)) return run;
        if (read.second != previous.second) {
            count += (read.second - previous.second + 60) % 60;
            host.BetweenCalls();
            const double system = BoardSeconds();
            host.BetweenCalls();
            const double afterSystem = BoardSeconds();
            // A read that showed the old second after the last poll ended is needed for a bracket.
            if (previous.earliest >= lastAfterSystem) {
                run.polls.push_back({previous.earliest, read.latest, count, system, afterSystem});
            } else {
                ++run.missed;
            }
            lastAfterSystem = afterSystem;
            // In true time: the counter's 40 ppm is 40 us a second, well inside the margin.
            const double transition = (previous.before + read.after) / 2;
            if (ramp.rampPpm != 0) SetCrystal(board, ramp, BoardSeconds());
            host.Sleep(transition + 1.0 - kWakeEarlySeconds - BoardSeconds());
        }
        previous = read;
    }
    run.ok = true;
    return run;
}

// The PC's clocks as functions of true time.
struct PcClocks {
    double counterPpm;
    double wanderPhase;
    double rampPpm = 0;     // the counter's rate changes by this over rampSeconds, from rampFrom
    double rampFrom = 0, rampSeconds = 1;
    double Counter(double t) const {
        const double since = t - rampFrom;
        const double ramp = rampPpm * 1e-6 * since * since / (2 * rampSeconds);
        return std::floor((kCounterOriginSeconds + t * (1 + counterPpm * 1e-6) + ramp) *
                          kCounterHz) /
               kCounterHz;
    }
    double System(double t) const {
        const double wander =
            kSystemWanderSeconds * std::sin(2 * kPi * t / kSystemWanderPeriodSeconds + wanderPhase);
        return std::floor((t + wander) / kSystemTickSeconds) * kSystemTickSeconds;
    }
};

std::vector<check::SecondsPoll> AsRead(const std::vector<TruePoll>& polls, size_t count,
                                       const PcClocks& clocks) {
    std::vector<check::SecondsPoll> out;
    for (size_t i = 0; i < count; ++i) {
        const TruePoll& p = polls[i];
        out.push_back({clocks.Counter(p.before), clocks.Counter(p.after), p.rtcSeconds,
                       clocks.System(p.system), clocks.Counter(p.afterSystem)});
    }
    return out;
}

// For comparison, what a statistical fit of the same polls gives: the least-squares line through
// the brackets' middles, with twice its standard error. It needs no bound on where in its
// bracket each transition lies, only that the reads' delays do not drift; the check states a
// bound instead.
struct LeastSquares {
    double ppm;
    double twoSigmaPpm;
};

LeastSquares FitMiddles(const std::vector<check::SecondsPoll>& polls, double counterPpm) {
    const double x0 = polls.front().counterBefore;
    double sx = 0, sy = 0;
    for (const check::SecondsPoll& p : polls) {
        sx += (p.counterBefore + p.counterAfter) / 2 - x0;
        sy += static_cast<double>(p.rtcSeconds - polls.front().rtcSeconds);
    }
    const double n = static_cast<double>(polls.size());
    const double mx = sx / n, my = sy / n;
    double sxx = 0, sxy = 0;
    for (const check::SecondsPoll& p : polls) {
        const double dx = (p.counterBefore + p.counterAfter) / 2 - x0 - mx;
        sxx += dx * dx;
        sxy += dx * (static_cast<double>(p.rtcSeconds - polls.front().rtcSeconds) - my);
    }
    const double slope = sxy / sxx;
    double residuals = 0;
    for (const check::SecondsPoll& p : polls) {
        const double dx = (p.counterBefore + p.counterAfter) / 2 - x0 - mx;
        const double r =
            static_cast<double>(p.rtcSeconds - polls.front().rtcSeconds) - my - slope * dx;
        residuals += r * r;
    }
    const double sigma = std::sqrt(residuals / (n - 2) / sxx);
    const double perSystem = 1 + counterPpm * 1e-6;  // counter seconds per system second
    return {(slope * perSystem - 1) * 1e6, 2 * sigma * perSystem * 1e6};
}

struct Tally {
    int cases = 0;     // every offset, phase and time, with or without a result
    int noResult = 0;  // of which gave none (counted as outside)
    int insideFit = 0;
    int inside[2] = {};
    int steady = 0;  // results whose one straight line fitted
    double worstFitAt10 = 0;
    double bestFitAt10 = 1e9;
    double worstCounterShift = 0;
};

const char* YesNo(bool b) {
    return b ? "yes" : "NO";
}

// One case: a crystal offset, a starting phase, and rates that may ramp over the run.
struct Case {
    double crystalPpm;
    double phase;
    double rtcRampPpm = 0;      // the crystal's offset changes by this over the run
    double counterRampPpm = 0;  // the counter's rate changes by this over the run
    int runMinutes = 60;
    std::vector<int> reportMinutes = {1, 10, 60};
};

void RunCase(const Options& options, const Case& c, uint64_t seed, Tally* tally) {
    bench::ConnectedBoard board;
    sim::Simulator().SetUsbRoundTripUs(options.roundTripUs);
    Run run;
    CrystalRamp ramp;
    // Three-phase clocking: the divisor is set for 3/2 the bus rate, as the bridge does.
    constexpr uint32_t kFt232H = 8;
    const double runSeconds = 60.0 * c.runMinutes;
    if (!options.fastMode || SetChannelClock(kFt232H, 600000) == kEngineOk) {
        if (options.fastMode) StoreTimingRecord(Bridge().ChannelHandle, 400000);
        Pass(c.phase);
        ramp.startPpm = c.crystalPpm;
        ramp.rampPpm = c.rtcRampPpm;
        ramp.from = BoardSeconds();
        ramp.length = runSeconds;
        SetCrystal(board, ramp, BoardSeconds());
        HostJitter host(seed);
        gHost = &host;
        gLibraryWrite = Bridge().ft.Write;
        Bridge().ft.Write = WriteAfterTurnAround;
        run = PollFor(runSeconds + 1.5, options.twoBursts, host, board, ramp);
        Bridge().ft.Write = gLibraryWrite;
        gHost = nullptr;
    }
    const auto label = [&] {
        std::printf("%+6.1f %+4.0f %+4.0f  %.4f", c.crystalPpm, c.rtcRampPpm, c.counterRampPpm,
                    c.phase);
    };
    if (!run.ok || run.polls.empty()) {
        tally->cases += static_cast<int>(c.reportMinutes.size());
        tally->noResult += static_cast<int>(c.reportMinutes.size());
        label();
        std::printf("  the board stopped answering\n");
        return;
    }
    PcClocks pc{kCounterPpm, c.phase * 2 * kPi};
    pc.rampPpm = c.counterRampPpm;
    pc.rampFrom = run.polls.front().before;
    pc.rampSeconds = runSeconds;
    PcClocks exactCounter{0.0, c.phase * 2 * kPi};
    exactCounter.rampPpm = c.counterRampPpm;
    exactCounter.rampFrom = pc.rampFrom;
    exactCounter.rampSeconds = runSeconds;
    std::vector<double> widths;
    for (const TruePoll& p : run.polls) widths.push_back((p.after - p.before) * 1e6);
    std::sort(widths.begin(), widths.end());
    double counterPpm = 0;

    for (int minutes : c.reportMinutes) {
        size_t n = 0;
        while (n < run.polls.size() &&
               run.polls[n].system - run.polls[0].system <= 60.0 * minutes + 0.5) {
            ++n;
        }
        check::AccuracyResult r[2];
        for (int k = 0; k < 2; ++k) {
            check::AccuracySettings settings;
            settings.referenceErrorSeconds = kReferenceErrors[k];
            r[k] = check::MeasureAccuracy(AsRead(run.polls, n, pc), settings);
        }
        const check::AccuracyResult exact =
            check::MeasureAccuracy(AsRead(run.polls, n, exactCounter));
        ++tally->cases;
        if (!r[0].valid || !r[1].valid || !exact.valid) {
            ++tally->noResult;
            label();
            std::printf("  %3d  no result: %s\n", minutes, r[0].error.c_str());
            continue;
        }
        // The truth: the RTC's mean rate between the true instants of the two marks. What the
        // run's own part can know: the same against the system clock's span.
        const double from = run.polls[r[0].fromPoll].system;
        const double to = run.polls[r[0].toPoll].system;
        const double rtc = ramp.RtcBetween(from, to);
        const double truth = (rtc / (to - from) - 1) * 1e6;
        const double againstSystem = (rtc / (pc.System(to) - pc.System(from)) - 1) * 1e6;
        const bool insideFit = std::fabs(r[0].ppm - againstSystem) <= r[0].fitUncertaintyPpm;
        const LeastSquares lsq = FitMiddles(AsRead(run.polls, n, pc), r[0].counterPpm);
        bool inside[2];
        for (int k = 0; k < 2; ++k) {
            inside[k] = std::fabs(r[k].ppm - truth) <= r[k].uncertaintyPpm;
            tally->inside[k] += inside[k];
        }
        tally->insideFit += insideFit;
        tally->steady += r[0].steadyRate;
        if (minutes == 10) {
            tally->worstFitAt10 = std::max(tally->worstFitAt10, r[0].fitUncertaintyPpm);
            tally->bestFitAt10 = std::min(tally->bestFitAt10, r[0].fitUncertaintyPpm);
        }
        tally->worstCounterShift =
            std::max(tally->worstCounterShift, std::fabs(r[0].ppm - exact.ppm));
        counterPpm = r[0].counterPpm;
        label();
        std::printf(
            "  %3d  %+10.4f  %+9.4f  %8.4f  %10.3f  %9.3f  %-4s %-4s %-4s %-3s %7.4f %5zu  %+8.4f "
            "%7.4f\n",
            minutes, r[0].ppm, truth, r[0].fitUncertaintyPpm, r[0].uncertaintyPpm,
            r[1].uncertaintyPpm, YesNo(insideFit), YesNo(inside[0]), YesNo(inside[1]),
            r[0].steadyRate ? "yes" : "no", r[0].steadyUncertaintyPpm, n, lsq.ppm - againstSystem,
            lsq.twoSigmaPpm);
    }
    std::printf(
        "        brackets: median %.0f us, 90%% below %.0f us, widest %.0f us; %d transitions "
        "slept through; counter measured %+.3f ppm\n",
        widths[widths.size() / 2], widths[widths.size() * 9 / 10], widths.back(), run.missed,
        counterPpm);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    bool ramps = true;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--usb-round-trip") == 0 && i + 1 < argc) {
            options.roundTripUs = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 10));
        } else if (std::strcmp(argv[i], "--two-bursts") == 0) {
            options.twoBursts = true;
        } else if (std::strcmp(argv[i], "--400khz") == 0) {
            options.fastMode = true;
        } else if (std::strcmp(argv[i], "--steady-only") == 0) {
            ramps = false;
        } else {
            std::fprintf(stderr,
                         "usage: %s [--two-bursts] [--usb-round-trip MICROSECONDS] [--400khz] "
                         "[--steady-only]\n",
                         argv[0]);
            return 2;
        }
    }
    std::printf(
        "Accuracy measurement on the simulated board, virtual clock, USB round trip %u us, "
        "bus %u kHz,\n%s, each burst with a send-immediate.\n"
        "Counter %+.0f ppm against true time; system clock within %.1f ms of true time.\n"
        "truth = the RTC's mean offset between the instants of the result's two marks.\n"
        "inside: run = the run's part holds the RTC's mean rate against the system clock;\n"
        "e=10, e=1 = the whole range (reference's part at e) holds the truth; steady = one line "
        "fits\n(line +-: its run's part, a bound only while the rate is constant).\n"
        "lsq = least squares through the brackets' middles, for comparison: its error against\n"
        "the RTC's rate on the system clock, and twice its standard error.\n\n",
        options.roundTripUs, options.fastMode ? 400u : 100u,
        options.twoBursts ? "the seconds read as the pages read a register (select, then read)"
                          : "the seconds read in one burst (register, repeated START, byte)",
        kCounterPpm, kSystemWanderSeconds * 1e3);
    std::printf(
        "offset ramp: rtc cnt  phase  min    measured      truth    run +-  total e=10  total e=1"
        "  inside:  steady line +- polls  lsq err  lsq 2s\n"
        "   ppm       ppm ppm      s              ppm        ppm       ppm         ppm        ppm"
        "  run  e=10 e=1          ppm              ppm     ppm\n");
    Tally tally;
    uint64_t seed = 1;
    for (double ppm : kCrystalPpm) {
        for (double phase : kPhaseSeconds) RunCase(options, {ppm, phase}, seed++, &tally);
    }
    if (ramps) {
        // 1 ppm over the run, either sign, of the crystal or of the counter; 10 and 60 minutes.
        for (int minutes : {10, 60}) {
            for (double sign : {+1.0, -1.0}) {
                for (double phase : {0.0, 0.618}) {
                    RunCase(options, {+2.0, phase, sign, 0, minutes, {minutes}}, seed++, &tally);
                    RunCase(options, {+2.0, phase, 0, sign, minutes, {minutes}}, seed++, &tally);
                }
            }
        }
    }
    std::printf(
        "\ninside: run %d of %d, e=10 ms %d of %d, e=1 ms %d of %d (no result: %d); steady %d\n"
        "run's part after 10 minutes: %.4f to %.4f ppm\n"
        "largest change of the result between the +%.0f ppm counter and an exact one: %.2g ppm\n",
        tally.insideFit, tally.cases, tally.inside[0], tally.cases, tally.inside[1], tally.cases,
        tally.noResult, tally.steady, tally.bestFitAt10, tally.worstFitAt10, kCounterPpm,
        tally.worstCounterShift);
    return 0;
}
