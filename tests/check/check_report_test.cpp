// The report as a browser gets it: every row with its verdict, both plots as inline SVG, no
// script, and the texts that came from outside (notes, board names) escaped.
#include <gtest/gtest.h>

#include <string>

#include "check/check_report.h"

namespace kalendo::check {
namespace {

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

CheckResult SmallResult() {
    CheckResult r;
    for (int i = 0; i <= static_cast<int>(CheckRowId::Timekeeping); ++i) {
        CheckRow row;
        row.id = static_cast<CheckRowId>(i);
        row.name = "row " + std::to_string(i);
        row.figure = "+/-3.8 ppm";
        row.unit = "ppm";
        row.measured = true;
        row.value = 1.25;
        row.uncertainty = 0.5;
        row.verdict = i == 2 ? Verdict::Fail : Verdict::Pass;
        r.rows.push_back(row);
    }
    r.rows[1].note = "<script>alert('x')</script> & more";
    // Ten transitions a second apart, the RTC 100 ppm fast.
    for (int i = 0; i < 10; ++i) {
        const double t = i * (1 - 100e-6);
        r.drift.polls.push_back({t - 0.001, t + 0.001, i, t + 0.0015, t + 0.002});
    }
    r.drift.accuracy = MeasureAccuracy(r.drift.polls);
    for (int t = 29; t >= 16; --t) {
        SweepStep s;
        s.tenths = t;
        s.vddVolts = t / 10.0;
        s.vddMicroamps = t >= 19 ? 0.45 : 0.01;
        s.batteryMicroamps = t >= 19 ? 0.008 : 0.32;
        s.onBattery = t < 19;
        s.rtcAnswers = t >= 17;
        r.sweep.push_back(s);
    }
    r.boardState = "supply put back as found";
    return r;
}

TEST(CheckReport, RowsPlotsAndNoScript) {
    ReportInfo info;
    info.model = "TQ5100";
    info.board = "UM232H <board> \"1\"";
    info.date = "2026-03-14";
    const std::string html = CheckReportHtml(SmallResult(), info);
    EXPECT_EQ(html.rfind("<!DOCTYPE html>", 0), 0u);
    EXPECT_NE(html.find("</html>"), std::string::npos);
    for (int i = 0; i <= static_cast<int>(CheckRowId::Timekeeping); ++i) {
        EXPECT_NE(html.find("<td>row " + std::to_string(i) + "</td>"), std::string::npos) << i;
    }
    EXPECT_NE(html.find("+1.25 &plusmn; 0.50 ppm"), std::string::npos);
    EXPECT_EQ(Count(html, "class=\"fail\">fail"), 1u);
    EXPECT_EQ(Count(html, "class=\"pass\">pass"), 7u);
    EXPECT_EQ(Count(html, "<svg"), 2u);
    EXPECT_EQ(Count(html, "</svg>"), 2u);
    EXPECT_GE(Count(html, "<circle"), 10u + 2 * 14u);
    // Nothing runs and nothing is fetched.
    EXPECT_EQ(html.find("<script"), std::string::npos);
    EXPECT_EQ(html.find("src="), std::string::npos);
    EXPECT_EQ(html.find("href="), std::string::npos);
    EXPECT_NE(html.find("&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt; &amp; more"),
              std::string::npos);
    EXPECT_NE(html.find("UM232H &lt;board&gt; &quot;1&quot;"), std::string::npos);
}

// Each row says what its uncertainty is, as its kind gives it, and the footnote does not claim
// every figure is a bound; verdicts that are no failure are not shown as one.
TEST(CheckReport, EachRowSaysWhatItsUncertaintyIs) {
    CheckResult r = SmallResult();
    r.rows[2].bound = BoundKind::Statistical;
    r.rows[2].coverage = 0.95;
    r.rows[2].verdict = Verdict::AboveTypical;
    r.rows[0].verdict = Verdict::NotAtCondition;
    const std::string html = CheckReportHtml(r, ReportInfo());
    EXPECT_EQ(Count(html, "<td>strict bound</td>"), 7u);
    EXPECT_EQ(Count(html, "<td>statistical interval, about 95 % coverage</td>"), 1u);
    EXPECT_NE(html.find("class=\"undecided\">above typical</td>"), std::string::npos);
    EXPECT_NE(html.find("class=\"undecided\">not at the figure&#39;s temperature</td>"),
              std::string::npos);
    EXPECT_EQ(Count(html, "class=\"fail\""), 0u);
    EXPECT_EQ(html.find("every uncertainty is a bound"), std::string::npos);
    EXPECT_NE(html.find("Currents: a statistical interval of about 95 % coverage"),
              std::string::npos);
}

// A check that ended before its plots had data still gives a whole page that says so.
TEST(CheckReport, WithoutDataThePlotsSaySo) {
    CheckResult r = SmallResult();
    r.drift = DriftResult();
    r.drift.accuracy.error = "too few seconds transitions (0, at least 3 needed)";
    r.sweep.clear();
    const std::string html = CheckReportHtml(r, ReportInfo());
    EXPECT_EQ(Count(html, "<svg"), 0u);
    EXPECT_NE(html.find("No accuracy plot: too few seconds transitions"), std::string::npos);
    EXPECT_NE(html.find("No supply sweep was made."), std::string::npos);
    EXPECT_NE(html.find("</html>"), std::string::npos);
}

TEST(ModelFigures, ReadFromTheRecordsTexts) {
    ModelInfo m;
    m.fields[kModelFrequencyTolerance] = "+/-3.8 (-40 to +85)";
    m.fields[kModelMonthlyDeviation] = "+/-9.9";
    m.fields[kModelTypicalCurrent] = "450 nA";
    m.fields[kModelVclk] = "1.6 to 5.5";
    m.fields[kModelSupplyVoltage] = "5.5 to 2.5";  // backwards: no range
    const ModelFigures f = FiguresOf(m);
    EXPECT_DOUBLE_EQ(f.tolerancePpm, 3.8);
    EXPECT_DOUBLE_EQ(f.monthlySeconds, 9.9);
    EXPECT_DOUBLE_EQ(f.typicalMicroamps, 0.45);
    EXPECT_DOUBLE_EQ(f.vclkMinVolts, 1.6);
    EXPECT_DOUBLE_EQ(f.vclkMaxVolts, 5.5);
    EXPECT_TRUE(std::isnan(f.supplyMinVolts));
    EXPECT_TRUE(std::isnan(MicroampsValue("0.8")));  // no unit
    EXPECT_TRUE(std::isnan(PlusMinusValue("3.8")));
}

TEST(ModelFigures, VerdictsAgainstALimit) {
    struct Case {
        Verdict (*judge)(double, double, double);
        double value, uncertainty, limit;
        Verdict expected;
    };
    const Case cases[] = {
        {WithinPlusMinus, -3.0, 0.5, 3.8, Verdict::Pass},
        {WithinPlusMinus, -3.5, 0.5, 3.8, Verdict::Undecided},
        {WithinPlusMinus, -4.5, 0.5, 3.8, Verdict::Fail},
        {AtMost, 0.79, 0.01, 0.8, Verdict::Pass},
        {AtMost, 0.80, 0.01, 0.8, Verdict::Undecided},
        {AtMost, 0.82, 0.01, 0.8, Verdict::Fail},
        {AtLeast, 1.9, 0.05, 1.6, Verdict::Pass},
        {AtLeast, 1.5, 0.05, 1.6, Verdict::Fail},
        {AtMost, 0.5, 0.01, NAN, Verdict::Undecided},  // no figure
        {AtMostTypical, 0.79, 0.01, 0.8, Verdict::Pass},
        {AtMostTypical, 0.80, 0.01, 0.8, Verdict::Undecided},
        {AtMostTypical, 0.82, 0.01, 0.8, Verdict::AboveTypical},  // not a data-sheet failure
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.judge(c.value, c.uncertainty, c.limit), c.expected) << c.value;
    }
}

}  // namespace
}  // namespace kalendo::check
