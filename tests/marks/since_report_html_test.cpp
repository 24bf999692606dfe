// The report's long-term part on virtual marks: a pair's rate with its bound and verdict, the
// pairs across a time write given no rate (their reason escaped), and a plot that keeps the
// segments apart.
#include <gtest/gtest.h>

#include <string>

#include "marks/since_report_html.h"
#include "tests/marks/virtual_marks.h"

namespace kalendo::marks::testing {
namespace {

constexpr double kDay = 86400;

size_t Occurrences(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

TEST(SinceReportHtmlTest, RatesBreaksAndThePlot) {
    VirtualRtc rtc;
    rtc.ppm = 2.0;
    double t;
    MarkStore store;
    store.marks.push_back(TakeVirtualMark(rtc, 100, {}, &t));
    store.marks.push_back(TakeVirtualMark(rtc, 100 + kDay, {}, &t));
    const Mark latest = TakeVirtualMark(rtc, 100 + 2 * kDay, {}, &t);
    store.events.push_back({store.marks[1].lateUtcNanos + 60000000000LL, latest.board,
                            "Kalendo reg write <0x0F> & more"});
    store.marks.push_back(latest);
    const SinceReport report = ReportSince(store, latest);
    ASSERT_EQ(report.rows.size(), 2u);
    ASSERT_EQ(report.series.size(), 3u);
    ASSERT_NE(report.series[1].segment, report.series[2].segment);

    // Without the write both pairs give the rate: the later one, a day, 2 ppm within its
    // bound of (1 ms + 2 x 10 ms) a day, passes against 3.8 ppm.
    store.events.clear();
    const std::string unbroken = SinceReportHtml(ReportSince(store, latest), 3.8);
    EXPECT_NE(unbroken.find("+2.000 &plusmn; 0.243 ppm (strict bound)"), std::string::npos)
        << unbroken;
    EXPECT_NE(unbroken.find("<td class=\"pass\">pass</td>"), std::string::npos);
    EXPECT_EQ(Occurrences(unbroken, "stroke-dasharray"), 0u) << "one segment: no break drawn";

    // With it, both pairs span the write.
    const std::string html = SinceReportHtml(report, 1.0);
    EXPECT_EQ(Occurrences(html, "<td colspan=\"3\">no rate: "), 2u) << html;
    EXPECT_NE(html.find("Kalendo reg write &lt;0x0F&gt; &amp; more"), std::string::npos);
    EXPECT_EQ(html.find("<0x0F>"), std::string::npos);
    EXPECT_EQ(Occurrences(html, "<circle "), 3u);
    EXPECT_EQ(Occurrences(html, "stroke-dasharray"), 1u) << "the break, once";
    EXPECT_NE(html.find("Aging: none: "), std::string::npos);
    EXPECT_NE(html.find("+/-1.0 ppm"), std::string::npos);

    EXPECT_EQ(SinceReportHtml(SinceReport(), 3.8), "") << "no marks, no section";
}

}  // namespace
}  // namespace kalendo::marks::testing
