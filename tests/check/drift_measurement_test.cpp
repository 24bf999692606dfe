// The drift run's polling on a board whose every read is timed by hand: each transition's
// bracket is exactly the span from the last read that still showed the old second to the
// latest moment the read that showed the new one can have taken it, and the offsets the CSV and
// the plots record start at the run's first transition.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "check/drift_measurement.h"
#include "check/transition_offsets.h"

namespace kalendo::check {
namespace {

// An RTC whose seconds begin at 0.37 s + k / (1 + ppm): each read takes 0.6 ms on the PC's
// clock, the chip takes its value 0.4 ms into it, and the read says that moment came at least
// 0.3 ms after its start and 0.1 ms before its end.
class TimedBoard final : public DriftBoard {
  public:
    explicit TimedBoard(double ppm) : ppm_(ppm) {}
    struct Read {
        double before, after;
        int second;
    };
    double now = 0;
    std::vector<Read> reads;

    bool ReadSeconds(uint8_t* bcd, LatchTiming* latch) override {
        const double before = now;
        const double latched = before + 0.0004;
        const int second = static_cast<int>(std::floor((latched - 0.37) * (1 + ppm_ * 1e-6))) % 60;
        now += 0.0006;
        reads.push_back({before, now, second});
        *bcd = static_cast<uint8_t>((second / 10) << 4 | (second % 10));
        latch->afterStartSeconds = 0.0003;
        latch->beforeEndSeconds = 0.0001;
        return true;
    }
    bool ReadHoursMinutes(uint8_t* h, uint8_t* m) override {
        *h = *m = 0;
        return true;
    }
    bool ReadBoardCelsius(double* c) override {
        *c = 25;
        return true;
    }
    bool BoardPresent() override { return true; }

  private:
    double ppm_;
};

TEST(DriftMeasurementTest, BracketsRunFromTheOldReadsEarliestLatchToTheNewReadsLatest) {
    TimedBoard board(+50);
    PcClocks clocks;
    clocks.monotonicSeconds = [&] { return board.now; };
    clocks.systemSeconds = [&] { return 1000 + board.now; };
    clocks.localSecondsOfDay = [&] { return board.now; };
    DriftSettings settings;
    settings.seconds = 20;
    settings.wait = [&](double s) { board.now += s; };
    std::vector<TransitionOffset> offsets;
    TransitionOffsets origin;
    settings.transitionSeen = [&](size_t index, const SecondsTransition& t) {
        offsets.push_back(origin.Of(index, t));
    };
    const DriftResult r = MeasureDrift(board, clocks, settings);
    ASSERT_EQ(r.error, "");
    ASSERT_GE(r.transitions.size(), 18u);
    size_t checked = 0;
    for (const SecondsTransition& t : r.transitions) {
        const double early = t.pcSeconds - t.halfWidth, late = t.pcSeconds + t.halfWidth;
        // The bracket starts 0.3 ms into the read that showed the old second and ends 0.1 ms
        // before the end of the next one, which showed the new second (each less the counter's
        // 1 % margin).
        for (size_t i = 0; i + 1 < board.reads.size(); ++i) {
            if (std::fabs(board.reads[i].before + 0.0003 * 0.99 - early) > 1e-12) continue;
            const TimedBoard::Read& old = board.reads[i];
            const TimedBoard::Read& now = board.reads[i + 1];
            EXPECT_NE(old.second, now.second);
            EXPECT_NEAR(late, now.after - 0.0001 * 0.99, 1e-12);
            // The true transition lies inside, and the bracket is no wider than the two reads.
            const double truth = 0.37 + std::round((late - 0.37) * (1 + 50e-6)) / (1 + 50e-6);
            EXPECT_LE(early, truth);
            EXPECT_GE(late, truth);
            ++checked;
        }
    }
    EXPECT_EQ(checked, r.transitions.size()) << "every bracket starts at a read's earliest latch";
    // The offsets start at the first transition: 0, then a second later about 50 us ahead.
    ASSERT_EQ(offsets.size(), r.transitions.size());
    EXPECT_EQ(offsets[0].pcSeconds, 0);
    EXPECT_EQ(offsets[0].offsetMs, 0);
    EXPECT_EQ(offsets[0].rtcSeconds, 0);
    EXPECT_NEAR(offsets[1].pcSeconds, r.transitions[1].pcSeconds - r.transitions[0].pcSeconds,
                1e-12);
    EXPECT_EQ(offsets[1].rtcSeconds, 1);
    EXPECT_NEAR(offsets.back().offsetMs, offsets.back().pcSeconds * 50e-3, 1.2)
        << "RTC minus PC grows by 50 us a second, within the brackets";
}

}  // namespace
}  // namespace kalendo::check
