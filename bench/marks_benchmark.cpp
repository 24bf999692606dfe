// How often the truth lies inside the bound `since` states for the rate between two marks: the
// real TakeMark on the simulated board through the bridge layer, on the virtual clock, so the
// days between the marks pass in no time while the RTC keeps counting with its crystal's error.
//
// The PC's clocks are modelled against true time (the board's clock): the performance counter
// runs 40 ppm fast; the system clock, the reference, is off true time by a different random
// amount at each mark, anywhere within 0.95 of the assumed error e, and in the adversarial mode
// by +0.95 e at the first mark and -0.95 e at the second (the worst a clock within e can do to a
// rate). The bound claims the truth for any clock within e, so it must hold in both.
//
// Each row: a crystal offset, the days between the marks and e; over the seeds, the stated
// bound, the largest |measured - truth| and that as a fraction of the bound, and how many times
// the truth lay inside.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>

#include <sys/wait.h>
#include <unistd.h>

#include "bench/connected_board.h"
#include "cli/board_session.h"
#include "marks/mark_pair_rate.h"
#include "marks/take_mark.h"
#include "sim/chips/evaluation_board_chips.h"
#include "sim/library/simulated_library.h"

namespace {

using namespace kalendo;

constexpr double kCrystalPpm[] = {+2.5, -7.0, +3.75, -17.3};

constexpr double kDays[] = {1, 2.5, 7};
constexpr double kReferenceErrors[] = {0.010, 0.001};
constexpr int kSeeds = 6;
constexpr double kCounterPpm = 40;
constexpr int64_t kEpochUtcNanos = 1781000000LL * 1000000000;  // true time at the board's zero

double BoardSeconds() {
    return static_cast<double>(sim::Simulator().Clock().NowPs()) / 1e12;
}

void Pass(double seconds) {
    sim::Simulator().WithLock([&] {
        sim::Simulator().Clock().AdvancePs(static_cast<int64_t>(std::llround(seconds * 1e12)));
    });
}

struct Outcome {
    bool ok = false;
    double ppm = 0, bound = 0;
};

// Two marks `days` apart with the system clock `firstError` and `secondError` off true time.
Outcome TwoMarks(double crystalPpm, double days, double e, double firstError, double secondError,
                 double phaseSeconds) {
    const bench::SimulatedBoard simulated(crystalPpm);
    Pass(phaseSeconds);
    Outcome out;
    {
        double systemError = firstError;
        marks::MarkClocks clocks;
        clocks.monotonicSeconds = [] { return BoardSeconds() * (1 + kCounterPpm * 1e-6); };
        clocks.systemUtcNanos = [&] {
            return kEpochUtcNanos + std::llround((BoardSeconds() + systemError) * 1e9);
        };
        clocks.utcOffsetSeconds = [] { return 0; };
        marks::TakeMarkSettings settings;
        settings.seconds = 20;
        settings.reference.assumedErrorSeconds = e;
        settings.wait = [](double s) { Os().SleepMs(static_cast<uint32_t>(s * 1000)); };
        marks::Mark first, second;
        for (marks::Mark* mark : {&first, &second}) {
            cli::BoardSession session;
            std::string error;
            if (!session.Open(&error, cli::BoardSession::kLatencyTimerMs)) {
                std::printf("board not opened: %s\n", error.c_str());
                break;
            }
            session.EndBusAction();
            const marks::TakenMark taken =
                marks::TakeMark(session.Rtc(), session.PowerMonitor(), clocks, settings);
            if (!taken.ok) {
                std::printf("no mark: %s\n", taken.error.c_str());
                break;
            }
            *mark = taken.mark;
            if (std::getenv("KALENDO_BENCH_VERBOSE")) {
                std::printf("  mark: bracket %.6f s (own poll %.6f s), %zu transitions, "
                            "reference %.6f s, early %lld late %lld\n",
                            taken.bracketSeconds, taken.rawBracketSeconds, taken.transitions,
                            taken.mark.reference.errorSeconds,
                            static_cast<long long>(taken.mark.earlyUtcNanos),
                            static_cast<long long>(taken.mark.lateUtcNanos));
            }
            if (mark == &first) {
                Pass(days * 86400);
                systemError = secondError;
            } else {
                const marks::PairRate rate = marks::RateBetween(first, second, marks::MarkStore{});
                out.ok = rate.valid;
                out.ppm = rate.ppm;
                out.bound = rate.boundPpm;
                if (!rate.valid) std::printf("no rate: %s\n", rate.reason.c_str());
            }
        }
    }
    return out;
}

// Each pair in a process of its own: the board's virtual clock never goes back, and its
// picoseconds reach their end after 106 days, fewer than the rows add up to.
Outcome TwoMarksApart(double crystalPpm, double days, double e, double firstError,
                      double secondError, double phaseSeconds) {
    std::fflush(stdout);
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return {};
    const pid_t child = fork();
    if (child == 0) {
        close(pipeEnds[0]);
        const Outcome o = TwoMarks(crystalPpm, days, e, firstError, secondError, phaseSeconds);
        std::fflush(stdout);
        const ssize_t written = write(pipeEnds[1], &o, sizeof o);
        _exit(written == static_cast<ssize_t>(sizeof o) ? 0 : 1);
    }
    close(pipeEnds[1]);
    Outcome o;
    if (child < 0 || read(pipeEnds[0], &o, sizeof o) != static_cast<ssize_t>(sizeof o)) o = {};
    close(pipeEnds[0]);
    if (child > 0) waitpid(child, nullptr, 0);
    return o;
}

}  // namespace

int main() {
    std::printf("since: the rate between two marks against its strict bound, simulated board, "
                "virtual clock\n");
    std::printf("%-8s %-5s %-6s %-12s | %-9s %-12s %-9s %-8s\n", "crystal", "days", "e",
                "system clock", "bound", "max |error|", "of bound", "inside");
    int inside = 0, total = 0;
    for (double e : kReferenceErrors) {
        for (double ppm : kCrystalPpm) {
            for (double days : kDays) {
                for (bool adversarial : {false, true}) {
                    std::mt19937 random(static_cast<uint32_t>(ppm * 1000 + days * 10 + e * 1e4));
                    std::uniform_real_distribution<double> within(-0.95 * e, 0.95 * e);
                    std::uniform_real_distribution<double> phase(0, 1);
                    double bound = 0, worst = 0;
                    int rowInside = 0, rowTotal = 0;
                    for (int seed = 0; seed < kSeeds; ++seed) {
                        const double a = adversarial ? 0.95 * e : within(random);
                        const double b = adversarial ? -0.95 * e : within(random);
                        const Outcome o = TwoMarksApart(ppm, days, e, a, b, phase(random));
                        ++rowTotal;  // a pair without a rate counts against the row
                        if (!o.ok) continue;
                        bound = std::max(bound, o.bound);
                        const double error = std::fabs(o.ppm - ppm);
                        worst = std::max(worst, error);
                        if (error <= o.bound) ++rowInside;
                    }
                    inside += rowInside;
                    total += rowTotal;
                    std::printf("%+8.2f %-5.1f %-6.3f %-12s | +-%-7.3f %-12.4f %-9.2f %d/%d\n",
                                ppm, days, e, adversarial ? "+e then -e" : "random in e",
                                bound, worst, bound > 0 ? worst / bound : 0.0, rowInside,
                                rowTotal);
                    std::fflush(stdout);
                }
            }
        }
    }
    std::printf("truth inside the bound: %d of %d\n", inside, total);
    return inside == total ? 0 : 1;
}
