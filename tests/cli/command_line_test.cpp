// The command line's switches and the strict value parsers: what is taken, and what is refused
// before the bus is touched.
#include <gtest/gtest.h>

#include "cli/command_line.h"

namespace kalendo::cli {
namespace {

TEST(CommandLineTest, GlobalSwitchesAnywhereAndBadModelsRefused) {
    CommandLine line;
    std::string error;
    ASSERT_TRUE(ParseCommandLine({"time", "--json", "set", "--model", "TQ5200", "12:00:00"}, &line,
                                 &error));
    EXPECT_TRUE(line.json);
    EXPECT_EQ(line.model, RtcModelChoice::Tq5200);
    EXPECT_EQ(line.words, (std::vector<std::string>{"time", "set", "12:00:00"}));
    ASSERT_TRUE(ParseCommandLine({"--model=TQ5100", "regs", "-h"}, &line, &error));
    EXPECT_EQ(line.model, RtcModelChoice::Tq5100);
    EXPECT_TRUE(line.help);
    for (const auto& bad : std::vector<std::vector<std::string>>{
             {"regs", "--model"}, {"--model", "TQ5300", "regs"}, {"--model=tq5100", "regs"}}) {
        EXPECT_FALSE(ParseCommandLine(bad, &line, &error)) << bad[0] << " " << bad[1];
        EXPECT_NE(error.find("--model"), std::string::npos);
    }
}

TEST(CommandLineTest, TimesDatesAndAlarmTimes) {
    int h = -1, m = -1, s = -1, y = -1, mo = -1, d = -1;
    ASSERT_TRUE(ParseClockTime("23:59:59", &h, &m, &s));
    EXPECT_EQ(h * 10000 + m * 100 + s, 235959);
    ASSERT_TRUE(ParseClockTime("00:00:00", &h, &m, &s));
    EXPECT_EQ(h + m + s, 0);
    for (const char* bad : {"24:00:00", "12:60:00", "12:00:60", "1:00:00", "12:00", "12-00-00",
                            "12:00:00 ", "+1:00:00", "", "ab:cd:ef"}) {
        EXPECT_FALSE(ParseClockTime(bad, &h, &m, &s)) << bad;
    }
    ASSERT_TRUE(ParseAlarmTime("07:30", &h, &m));
    EXPECT_EQ(h * 100 + m, 730);
    for (const char* bad : {"7:30", "24:00", "07:60", "07:30:00"}) {
        EXPECT_FALSE(ParseAlarmTime(bad, &h, &m)) << bad;
    }
    ASSERT_TRUE(ParseCalendarDate("2024-02-29", &y, &mo, &d));
    EXPECT_EQ(y * 10000 + mo * 100 + d, 20240229);
    ASSERT_TRUE(ParseCalendarDate("2000-01-01", &y, &mo, &d));
    ASSERT_TRUE(ParseCalendarDate("2099-12-31", &y, &mo, &d));
    for (const char* bad : {"1999-12-31", "2100-01-01", "2023-02-29", "2024-04-31", "2024-13-01",
                            "2024-00-10", "2024-1-01", "24-01-01", "2024/01/01", "2024-01-01x"}) {
        EXPECT_FALSE(ParseCalendarDate(bad, &y, &mo, &d)) << bad;
    }
}

TEST(CommandLineTest, NumbersMinutesSupplyAndWeekdays) {
    long n = -1;
    EXPECT_TRUE(ParseWholeNumber("25", 1, 25, &n));
    EXPECT_EQ(n, 25);
    for (const char* bad : {"0", "26", "-1", "+3", "3.0", "", "1e1", "9999999999"}) {
        EXPECT_FALSE(ParseWholeNumber(bad, 1, 25, &n)) << bad;
    }
    double minutes = 0;
    EXPECT_TRUE(ParseMinutes("0.25", &minutes));
    EXPECT_DOUBLE_EQ(minutes, 0.25);
    EXPECT_TRUE(ParseMinutes("10080", &minutes));
    for (const char* bad : {"0", "0.0", "-1", "1e3", "inf", "nan", "10081", ".", "1.2.3", ""}) {
        EXPECT_FALSE(ParseMinutes(bad, &minutes)) << bad;
    }
    int tenths = 0;
    const std::pair<const char*, int> supplies[] = {{"0.1", 1}, {"3.5", 35}, {"4.0", 40}, {"3", 30}};
    for (const auto& [text, expected] : supplies) {
        ASSERT_TRUE(ParseSupplyTenths(text, &tenths)) << text;
        EXPECT_EQ(tenths, expected) << text;
    }
    for (const char* bad : {"0", "0.0", "4.1", "3.55", "-1", "10", "3.", ".5", "abc"}) {
        EXPECT_FALSE(ParseSupplyTenths(bad, &tenths)) << bad;
    }
    int weekday = -1;
    EXPECT_TRUE(ParseWeekday("Wednesday", &weekday));
    EXPECT_EQ(weekday, 3);
    EXPECT_TRUE(ParseWeekday("sun", &weekday));
    EXPECT_EQ(weekday, 0);
    EXPECT_FALSE(ParseWeekday("Funday", &weekday));
    EXPECT_FALSE(ParseWeekday("3", &weekday));
}

TEST(CommandLineTest, DayOfWeekAcrossCenturyAndLeapDays) {
    EXPECT_EQ(DayOfWeek(2000, 1, 1), 6);   // a Saturday
    EXPECT_EQ(DayOfWeek(2024, 2, 29), 4);  // a Thursday
    EXPECT_EQ(DayOfWeek(2026, 3, 14), 6);
    EXPECT_EQ(DayOfWeek(2099, 12, 31), 4);
}

}  // namespace
}  // namespace kalendo::cli
