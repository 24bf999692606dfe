// The aging over marks on virtual clocks: a simulated aging recovered within its bound over
// 60 days, the bound's size, and the cases with no aging figure. ReportSince's aging runs over
// the marks since the last break only.
#include <gtest/gtest.h>

#include <random>

#include "marks/aging_fit.h"
#include "marks/since_report.h"
#include "tests/marks/virtual_marks.h"

namespace kalendo::marks::testing {
namespace {

constexpr double kDay = 86400;

// Marks every `everyDays` over `days`, the system clock anywhere within +-e, the transition
// anywhere in its 1 ms bracket.
std::vector<AgingPoint> Points(const VirtualRtc& rtc, double days, double everyDays, double e,
                               uint32_t seed, std::vector<double>* truths = nullptr) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> error(-e, e), where(0, 1);
    std::vector<AgingPoint> points;
    for (double d = 0; d <= days + 1e-9; d += everyDays) {
        double truth;
        const Mark m = TakeVirtualMark(rtc, d * kDay + 3000 * where(random),
                                       {error(random), 0.001, where(random), e}, &truth);
        double low, high;
        TrueInstant(m, kEpochUtcNanos, &low, &high);
        points.push_back({low, high, RtcSecondsSince2000(m.rtc)});
        if (truths) truths->push_back(truth);
    }
    return points;
}

TEST(AgingFitTest, SixtyDaysOfMarksRecoverASimulatedAgingWithinItsBound) {
    struct Case {
        double ppm, aging, everyDays, e;
    };
    const Case cases[] = {{+2.0, +3.0, 5, 0.010},
                          {-11.0, -1.5, 5, 0.010},
                          {+0.4, +0.8, 1, 0.010},
                          {+5.0, 0.0, 10, 0.010},
                          {+2.0, +3.0, 5, 0.001}};
    uint32_t seed = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.aging << " ppm/year, marks every " << c.everyDays
                                          << " days, e = " << c.e);
        VirtualRtc rtc;
        rtc.ppm = c.ppm;
        rtc.agingPpmPerYear = c.aging;
        std::vector<double> truths;
        const AgingFit fit = FitAging(Points(rtc, 60, c.everyDays, c.e, seed++, &truths));
        ASSERT_TRUE(fit.valid) << fit.reason;
        EXPECT_LE(std::fabs(fit.ppmPerYear - c.aging), fit.boundPpmPerYear);
        EXPECT_NEAR(fit.spanDays, 60, 0.1);
        const double rateAtLast = rtc.Rate(truths.back()) * 1e6;
        EXPECT_LE(std::fabs(fit.ratePpmAtLast - rateAtLast), fit.rateBoundPpmAtLast);
        // What 10 ms (or 1 ms) at three points two months apart can pin down.
        EXPECT_LT(fit.boundPpmPerYear, c.e == 0.010 ? 0.6 : 0.06);
        EXPECT_LT(fit.rateBoundPpmAtLast, c.e == 0.010 ? 0.05 : 0.005);
        std::printf(
            "aging %+.2f ppm/year: %+.3f +- %.3f ppm/year over %zu marks; rate at the last "
            "mark %+.4f, measured %+.4f +- %.4f ppm\n",
            c.aging, fit.ppmPerYear, fit.boundPpmPerYear, fit.marksUsed, rateAtLast,
            fit.ratePpmAtLast, fit.rateBoundPpmAtLast);
    }
}

// The bound is the allowed set's own width: with the system clock exact and 1 ms brackets, a
// parabola that bends by 1 ppm/year over 60 days (about 0.05 s at the middle) is told from a
// straight line, and the bound is far narrower than the aging.
TEST(AgingFitTest, TheBoundShrinksWithTheReferenceError) {
    VirtualRtc rtc;
    rtc.ppm = 1;
    rtc.agingPpmPerYear = 1;
    const AgingFit exact = FitAging(Points(rtc, 60, 5, 0, 9));
    const AgingFit rough = FitAging(Points(rtc, 60, 5, 0.010, 9));
    ASSERT_TRUE(exact.valid && rough.valid);
    EXPECT_LT(exact.boundPpmPerYear, 0.05);
    EXPECT_GT(rough.boundPpmPerYear, 5 * exact.boundPpmPerYear);
    EXPECT_NEAR(exact.ppmPerYear, 1, exact.boundPpmPerYear);
}

TEST(AgingFitTest, NoFigureWithoutThreeSpreadConsistentMarks) {
    VirtualRtc rtc;
    rtc.ppm = 1;
    std::vector<AgingPoint> two = Points(rtc, 30, 30, 0.010, 3);
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(FitAging(two).reason, "aging needs three marks or more (2)");

    // Four marks, the second a second out (the RTC was set and set back): no parabola passes.
    std::vector<AgingPoint> jump = Points(rtc, 30, 10, 0.010, 4);
    ASSERT_EQ(jump.size(), 4u);
    jump[1].rtcSeconds += 1;
    EXPECT_NE(FitAging(jump).reason.find("the marks fit no steadily changing rate"),
              std::string::npos)
        << FitAging(jump).reason;

    // Two marks a few seconds apart and one a month later: the quadratic is not pinned down.
    std::vector<AgingPoint> close = Points(rtc, 30, 30, 0.010, 5);
    close.insert(close.begin() + 1, close[0]);
    close[1].lowSeconds += 0.05;
    close[1].highSeconds += 0.05;
    const AgingFit unpinned = FitAging(close);
    EXPECT_FALSE(unpinned.valid);
}

// A store whose board was set between marks: the aging is fitted over the marks after the set
// only, and the plot's points after it start a new segment.
TEST(AgingFitTest, TheReportFitsAgingSinceTheLastBreak) {
    VirtualRtc rtc;
    rtc.ppm = 4;
    rtc.agingPpmPerYear = 2;
    MarkStore store;
    double t;
    for (int day = 0; day <= 40; day += 5) {
        store.marks.push_back(TakeVirtualMark(rtc, day * kDay, {0.004, 0.001, 0.5, 0.010}, &t));
    }
    // On day 12 the program set the time; the RTC was moved by 7 s.
    store.events.push_back({kEpochUtcNanos + static_cast<int64_t>(12 * kDay * 1e9),
                            store.marks[0].board, "kalendo-cli time sync"});
    for (size_t i = 3; i < store.marks.size(); ++i) {
        store.marks[i].rtc = DateTimeOfCount(RtcSecondsSince2000(store.marks[i].rtc) + 7);
    }
    const Mark latest = TakeVirtualMark(rtc, 45 * kDay, {-0.006, 0.001, 0.5, 0.010}, &t);
    Mark shifted = latest;
    shifted.rtc = DateTimeOfCount(RtcSecondsSince2000(latest.rtc) + 7);
    const SinceReport report = ReportSince(store, shifted);
    ASSERT_EQ(report.rows.size(), 9u);
    for (size_t i = 0; i < report.rows.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(report.rows[i].rate.valid, i >= 3) << report.rows[i].rate.reason;
    }
    EXPECT_NE(report.rows[0].rate.reason.find("kalendo-cli time sync"), std::string::npos);
    ASSERT_TRUE(report.aging.valid) << report.aging.reason;
    EXPECT_EQ(report.aging.marksUsed, 7u);  // days 15 to 40, and 45
    EXPECT_NEAR(report.aging.ppmPerYear, 2, report.aging.boundPpmPerYear);
    ASSERT_EQ(report.series.size(), 10u);
    EXPECT_EQ(report.series[2].segment, 0);
    EXPECT_EQ(report.series[3].segment, 1);
    EXPECT_TRUE(report.series.back().latest);
    // The plot's offsets: 4 ppm and the aging over 40 days, plus the 7 s set.
    EXPECT_NEAR(
        report.series[8].offsetMs,
        7000 + 4e-6 * 40 * kDay * 1000 + 0.5 * 2e-6 / (365.25 * kDay) * 1600 * kDay * kDay * 1000,
        report.series[8].boundMs + report.series[0].boundMs + 1);
}

}  // namespace
}  // namespace kalendo::marks::testing
