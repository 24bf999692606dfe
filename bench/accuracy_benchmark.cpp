// How good the data-sheet check's accuracy measurement (kalendo_check) gets with time, on the
// simulated board with its modelled USB round trip, on the virtual clock so an hour takes seconds.
//
// The polls are made as the check makes them: the performance counter read, the seconds register
// read with a send-immediate after each burst (its answer one USB round trip later), the counter
// read again; at each change of the second the system clock is read, with the counter right
// after it. The read is the bridge's register read (a select burst, then a read burst: two round
// trips), or with --one-burst both in one burst (one round trip), to show what that would gain.
// Between reads the host has a random scheduling jitter, and it sleeps between transitions. The
// PC's two clocks are modelled against true time (the board's clock): the counter runs 40 ppm fast,
// the system clock wanders about true time within 0.8 ms, slewed as a PC kept on time over a
// network is. The same polls are also evaluated with an exact counter, to show that the counter's
// rate does not move the result.
//
// For two crystal offsets and four starting phases, after 1, 10 and 60 minutes: the offset
// measured, the fit's part of its uncertainty, the whole uncertainty with the reference's part at
// e = 10 ms and at e = 1 ms, and whether the truth lies inside each.
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
#include "bridge/engine_commands.h"
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
constexpr int kReportMinutes[] = {1, 10, 60};
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

// The RTC at 0x32 as the bus addresses it.
constexpr uint8_t kRtcWrite = 0x32 << 1;
constexpr uint8_t kRtcRead = (0x32 << 1) | 1;
// The engine sends what it holds to the host now instead of at the latency timer's expiry.
constexpr uint8_t kSendImmediate = 0x87;

// What a run can change from the command line, to show what a bracket is made of.
struct Options {
    bool oneBurst = false;  // select and read in one burst instead of the bridge's two
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

void Put(std::vector<uint8_t>& b, engine::PinState s, uint32_t times = 1) {
    for (uint32_t i = 0; i < times; ++i) {
        b.insert(b.end(), {engine::kSetLowPins, s.levels, s.directions});
    }
}

// SCL low on entry and on exit: eight bits out, then the RTC's acknowledge bit in.
void ByteOut(std::vector<uint8_t>& b, uint8_t byte) {
    Put(b, engine::kSclLowSdaHigh);
    b.insert(b.end(), {engine::kClockBitsOutFallingMsb, 0x07, byte});
    Put(b, engine::kSclLowSdaReleased);
    b.insert(b.end(), {engine::kClockBitsInRisingMsb, 0x00});
}

// SCL low on entry and on exit: eight bits in, then the master's NACK (the only byte read).
void LastByteIn(std::vector<uint8_t>& b) {
    Put(b, engine::kSclLowSdaReleased);
    b.insert(b.end(), {engine::kClockBitsInRisingMsb, 0x07});
    Put(b, engine::kSclLowSdaReleasedHigh);
    b.insert(b.end(), {engine::kClockBitsOutFallingMsb, 0x00, 0xFF});
    Put(b, engine::kSclLowSdaReleasedHigh);
}

void Start(std::vector<uint8_t>& b, const TimingRecord& t) {
    Put(b, engine::kIdle, t.startIdle);
    Put(b, engine::kSclHighSdaLow, t.startSdaLow);
    Put(b, engine::kSclLowSdaLow, t.startSclLow);
}

void Stop(std::vector<uint8_t>& b, const TimingRecord& t) {
    Put(b, engine::kSclLowSdaLow, t.stopLow);
    Put(b, engine::kSclHighSdaLow, t.stopSclHigh);
    Put(b, engine::kIdle, t.stopIdle);
    Put(b, engine::kBothReleased);
}

// The seconds register in one burst, with the bridge's START and STOP holds for the channel's
// speed. Its answer: three acknowledge bits, then the seconds.
std::vector<uint8_t> SecondsReadBurst() {
    const TimingRecord& t = TimingFor(Bridge().ChannelHandle);
    std::vector<uint8_t> b;
    Start(b, t);
    ByteOut(b, kRtcWrite);
    ByteOut(b, kRegSeconds);
    Start(b, t);  // repeated START
    ByteOut(b, kRtcRead);
    LastByteIn(b);
    Stop(b, t);
    return b;
}

// Every burst goes to the library with a send-immediate after it, as the check's polls send
// them, and after the host's turn-around since its last call.
FtWriteFn gLibraryWrite = nullptr;
HostJitter* gHost = nullptr;

FtStatus KALENDO_FTAPI WriteWithSendImmediate(FtHandle h, const void* buffer, uint32_t count,
                                              uint32_t* written) {
    gHost->BetweenCalls();
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    std::vector<uint8_t> burst(bytes, bytes + count);
    burst.push_back(kSendImmediate);
    uint32_t sent = 0;
    const FtStatus status =
        gLibraryWrite(h, burst.data(), static_cast<uint32_t>(burst.size()), &sent);
    *written = std::min(sent, count);
    return status;
}

// One read, with the true times at which the counter was read before and after it.
struct SecondsRead {
    int second = -1;
    double before = 0;
    double after = 0;
};

int SecondsFromBcd(uint32_t bcd) {
    return static_cast<int>((bcd >> 4 & 0x07) * 10 + (bcd & 0x0F));
}

bool ReadSeconds(const std::vector<uint8_t>& oneBurst, SecondsRead* r) {
    r->before = BoardSeconds();
    if (oneBurst.empty()) {
        Bridge().BusStatus = kBusOk;
        const uint32_t bcd = ReadDeviceRegister(kRegSeconds, 8);
        if (Bridge().BusStatus != kBusOk) return false;
        r->second = SecondsFromBcd(bcd);
    } else {
        const FtHandle h = Bridge().ChannelHandle;
        uint32_t written = 0;
        const auto size = static_cast<uint32_t>(oneBurst.size());
        if (Bridge().ft.Write(h, oneBurst.data(), size, &written) != kFtOk || written != size) {
            return false;
        }
        uint8_t answer[4] = {};
        uint32_t got = 0;
        if (Bridge().ft.Read(h, answer, 4, &got) != kFtOk || got != 4) return false;
        if ((answer[0] | answer[1] | answer[2]) & 0x01) return false;  // an acknowledge missing
        r->second = SecondsFromBcd(answer[3]);
    }
    gHost->BetweenCalls();
    r->after = BoardSeconds();
    return true;
}

// --- the run -------------------------------------------------------------------------------

// One caught transition in true time; the PC's clocks are applied afterwards, so the same polls
// can be read with an exact counter too.
struct TruePoll {
    double before;       // counter read before the read that still showed the old second
    double after;        // counter read after the read that showed the new one
    int64_t rtcSeconds;  // the new second, counted from the run's first
    double system;       // system clock read
    double afterSystem;  // counter read after it
};

struct Run {
    bool ok = false;
    std::vector<TruePoll> polls;
    int missed = 0;  // transitions slept through (the first read after waking showed them)
};

Run PollFor(double seconds, bool oneBurst, HostJitter& host) {
    Run run;
    const std::vector<uint8_t> burst = oneBurst ? SecondsReadBurst() : std::vector<uint8_t>();
    SecondsRead previous;
    if (!ReadSeconds(burst, &previous)) return run;
    int64_t count = 0;
    double lastAfterSystem = -1e300;
    const double end = BoardSeconds() + seconds;
    while (BoardSeconds() < end) {
        host.BetweenReads();
        SecondsRead read;
        if (!ReadSeconds(burst, &read)) return run;
        if (read.second != previous.second) {
            count += (read.second - previous.second + 60) % 60;
            host.BetweenCalls();
            const double system = BoardSeconds();
            host.BetweenCalls();
            const double afterSystem = BoardSeconds();
            // A read that showed the old second after the last poll ended is needed for a bracket.
            if (previous.before >= lastAfterSystem) {
                run.polls.push_back({previous.before, read.after, count, system, afterSystem});
            } else {
                ++run.missed;
            }
            lastAfterSystem = afterSystem;
            // In true time: the counter's 40 ppm is 40 us a second, well inside the margin.
            const double transition = (previous.before + read.after) / 2;
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
    double Counter(double t) const {
        return std::floor((kCounterOriginSeconds + t * (1 + counterPpm * 1e-6)) * kCounterHz) /
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
    double worstFitAt10 = 0;
    double worstCounterShift = 0;
};

const char* YesNo(bool b) {
    return b ? "yes" : "NO";
}

void RunCase(const Options& options, double crystalPpm, double phase, uint64_t seed, Tally* tally) {
    bench::ConnectedBoard board;
    board.Chips().SetCrystalPpm(crystalPpm);
    sim::Simulator().SetUsbRoundTripUs(options.roundTripUs);
    Run run;
    // Three-phase clocking: the divisor is set for 3/2 the bus rate, as the bridge does.
    constexpr uint32_t kFt232H = 8;
    if (!options.fastMode || SetChannelClock(kFt232H, 600000) == kEngineOk) {
        if (options.fastMode) StoreTimingRecord(Bridge().ChannelHandle, 400000);
        Pass(phase);
        HostJitter host(seed);
        gHost = &host;
        gLibraryWrite = Bridge().ft.Write;
        Bridge().ft.Write = WriteWithSendImmediate;
        run = PollFor(60.0 * kReportMinutes[2] + 1.5, options.oneBurst, host);
        Bridge().ft.Write = gLibraryWrite;
        gHost = nullptr;
    }
    constexpr int kReports = static_cast<int>(sizeof kReportMinutes / sizeof kReportMinutes[0]);
    if (!run.ok || run.polls.empty()) {
        tally->cases += kReports;
        tally->noResult += kReports;
        std::printf("%+6.1f  %.4f  the board stopped answering\n", crystalPpm, phase);
        return;
    }
    const PcClocks pc{kCounterPpm, phase * 2 * kPi};
    const PcClocks exactCounter{0.0, phase * 2 * kPi};
    std::vector<double> widths;
    for (const TruePoll& p : run.polls) widths.push_back((p.after - p.before) * 1e6);
    std::sort(widths.begin(), widths.end());
    double counterPpm = 0;

    for (int minutes : kReportMinutes) {
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
            std::printf("%+6.1f  %.4f  %3d  no result: %s\n", crystalPpm, phase, minutes,
                        r[0].error.c_str());
            continue;
        }
        // What the fit alone can know: the RTC against the system clock over the polls used.
        const TruePoll& from = run.polls[r[0].firstPoll];
        const TruePoll& to = run.polls[n - 1];
        const double trueSpan = to.system - from.system;
        const double systemSpan = pc.System(to.system) - pc.System(from.system);
        const double againstSystem = ((1 + crystalPpm * 1e-6) * trueSpan / systemSpan - 1) * 1e6;
        const bool insideFit = std::fabs(r[0].ppm - againstSystem) <= r[0].fitUncertaintyPpm;
        const LeastSquares lsq = FitMiddles(AsRead(run.polls, n, pc), r[0].counterPpm);
        bool inside[2];
        for (int k = 0; k < 2; ++k) {
            inside[k] = std::fabs(r[k].ppm - crystalPpm) <= r[k].uncertaintyPpm;
            tally->inside[k] += inside[k];
        }
        tally->insideFit += insideFit;
        if (minutes == 10)
            tally->worstFitAt10 = std::max(tally->worstFitAt10, r[0].fitUncertaintyPpm);
        tally->worstCounterShift =
            std::max(tally->worstCounterShift, std::fabs(r[0].ppm - exact.ppm));
        counterPpm = r[0].counterPpm;
        std::printf(
            "%+6.1f  %.4f  %3d  %+10.4f  %8.4f  %10.3f  %9.3f  %-4s %-4s %-4s %5zu  %+8.4f %7.4f\n",
            crystalPpm, phase, minutes, r[0].ppm, r[0].fitUncertaintyPpm, r[0].uncertaintyPpm,
            r[1].uncertaintyPpm, YesNo(insideFit), YesNo(inside[0]), YesNo(inside[1]), n,
            lsq.ppm - againstSystem, lsq.twoSigmaPpm);
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
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--usb-round-trip") == 0 && i + 1 < argc) {
            options.roundTripUs = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 10));
        } else if (std::strcmp(argv[i], "--one-burst") == 0) {
            options.oneBurst = true;
        } else if (std::strcmp(argv[i], "--400khz") == 0) {
            options.fastMode = true;
        } else {
            std::fprintf(stderr,
                         "usage: %s [--one-burst] [--usb-round-trip MICROSECONDS] [--400khz]\n",
                         argv[0]);
            return 2;
        }
    }
    std::printf(
        "Accuracy measurement on the simulated board, virtual clock, USB round trip %u us, "
        "bus %u kHz,\n%s, each burst with a send-immediate.\n"
        "Counter %+.0f ppm against true time; system clock within %.1f ms of true time.\n"
        "inside: fit = the fit's range holds the RTC's rate against the system clock;\n"
        "e=10, e=1 = the whole range (reference's part at e) holds the true offset.\n"
        "lsq = least squares through the brackets' middles, for comparison: its error against\n"
        "the RTC's rate on the system clock, and twice its standard error.\n\n",
        options.roundTripUs, options.fastMode ? 400u : 100u,
        options.oneBurst ? "the seconds read in one burst"
                         : "the seconds read as the bridge reads a register (select, then read)",
        kCounterPpm, kSystemWanderSeconds * 1e3);
    std::printf(
        "offset   phase  min    measured     fit +-  total e=10  total e=1  inside:     polls"
        "  lsq err  lsq 2s\n"
        "   ppm       s              ppm        ppm         ppm        ppm  fit  e=10 e=1 "
        "            ppm     ppm\n");
    Tally tally;
    uint64_t seed = 1;
    for (double ppm : kCrystalPpm) {
        for (double phase : kPhaseSeconds) RunCase(options, ppm, phase, seed++, &tally);
    }
    std::printf(
        "\ninside: fit %d of %d, e=10 ms %d of %d, e=1 ms %d of %d (no result: %d)\n"
        "widest fit +- after 10 minutes: %.4f ppm\n"
        "largest change of the result between the +%.0f ppm counter and an exact one: %.2g ppm\n",
        tally.insideFit, tally.cases, tally.inside[0], tally.cases, tally.inside[1], tally.cases,
        tally.noResult, tally.worstFitAt10, kCounterPpm, tally.worstCounterShift);
    return 0;
}
