#include <gtest/gtest.h>

#include "rtc/texts/date_text.h"
#include "rtc/texts/status_texts.h"
#include "rtc/texts/time_text.h"
#include "rtc/texts/twelve_hour_display.h"

namespace kalendo {
namespace {

TEST(TimeText, TwelveAndTwentyFourHourForms) {
    struct Case {
        int h, m, s;
        const char* twelve;
        const char* twentyFour;
    };
    const Case cases[] = {
        {0, 5, 9, "12:05:09 AM", "00:05:09"},    {1, 0, 0, "01:00:00 AM", "01:00:00"},
        {11, 59, 59, "11:59:59 AM", "11:59:59"}, {12, 0, 0, "12:00:00 PM", "12:00:00"},
        {13, 30, 1, "01:30:01 PM", "13:30:01"},  {23, 59, 59, "11:59:59 PM", "23:59:59"},
        {24, 7, 8, "12:07:08 PM", "24:07:08"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.h);
        EXPECT_EQ(FormatTimeText(c.h, c.m, c.s, true), c.twelve);
        EXPECT_EQ(FormatTimeText(c.h, c.m, c.s, false), c.twentyFour);
    }
}

TEST(AlarmTimeText, LimitsAndBothForms) {
    struct Case {
        int h, m;
        const char* twelve;
        const char* twentyFour;
    };
    const Case cases[] = {
        {0, 0, "12:00 AM", "00:00"},   {9, 5, "09:05 AM", "09:05"},   {12, 30, "12:30 PM", "12:30"},
        {15, 45, "03:45 PM", "15:45"}, {24, 60, "12:60 PM", "24:60"}, {24, 61, "Error", "Error"},
        {25, 0, "Error", "Error"},     {85, 0, "Error", "Error"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.h << ":" << c.m);
        EXPECT_EQ(FormatAlarmTimeText(c.h, c.m, true), c.twelve);
        EXPECT_EQ(FormatAlarmTimeText(c.h, c.m, false), c.twentyFour);
    }
}

TEST(TwelveHourDisplay, StartsInTwelveHourFormAndSelectsTheForm) {
    EXPECT_EQ(TwelveHourDisplay, 1);
    EXPECT_EQ(FormatTimeText(13, 0, 0), "01:00:00 PM");
    EXPECT_EQ(FormatAlarmTimeText(13, 0), "01:00 PM");
    TwelveHourDisplay = 0;
    EXPECT_EQ(FormatTimeText(13, 0, 0), "13:00:00");
    EXPECT_EQ(FormatAlarmTimeText(13, 0), "13:00");
    TwelveHourDisplay = 1;
}

TEST(DateText, EveryMonthNameAndTheThreeLayouts) {
    const char* months[] = {"January", "February", "March",     "April",   "May",      "June",
                            "July",    "August",   "September", "October", "November", "December"};
    for (int m = 1; m <= 12; ++m) {
        const std::string name = months[m - 1];
        EXPECT_EQ(FormatRtcDateText("Friday", 7, m, 9), "Friday, " + name + " 07, 2009");
        EXPECT_EQ(FormatPcDateText("Friday", 7, m, 2026), "Friday, " + name + " 07, 2026");
        EXPECT_EQ(FormatAlarmDateText(7, m, 2026), name + " 07, 2026");
    }
}

TEST(DateText, MonthOutsideTheYearIsADateError) {
    for (int month : {0, 13, 19, -1}) {
        EXPECT_EQ(FormatRtcDateText("Monday", 1, month, 20), "Date Error") << month;
        EXPECT_EQ(FormatPcDateText("Monday", 1, month, 2020), "Date Error") << month;
        EXPECT_EQ(FormatAlarmDateText(1, month, 2020), "Date Error") << month;
    }
}

// The main window's texts, from raw register bytes and the first read's bus status.
TEST(StatusTexts, TimeFromRegisters) {
    struct Case {
        int32_t status;
        uint8_t sec, min, hour;
        bool twelve;
        const char* text;
    };
    const Case cases[] = {
        {0, 0x09, 0x05, 0x00, true, "12:05:09 AM"}, {0, 0x59, 0x59, 0x23, false, "23:59:59"},
        {0, 0x30, 0x15, 0x24, true, "12:15:30 PM"},  // 24 still passes
        {0, 0x30, 0x15, 0x24, false, "24:15:30"},   {0, 0x30, 0x15, 0x25, true, "Error"},
        {0, 0xFF, 0xFF, 0xFF, false, "Error"},     // invalid selection reads all ones
        {0, 0x7A, 0x6F, 0x10, false, "10:75:80"},  // minutes and seconds are not checked
        {1, 0x00, 0x00, 0x10, true, "Error"},      // failed seconds read
        {4, 0x00, 0x00, 0x10, false, "Error"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(TimeTextFromRegisters(c.status, c.sec, c.min, c.hour, c.twelve), c.text);
    }
}

TEST(StatusTexts, DateFromRegisters) {
    struct Case {
        int32_t status;
        uint8_t day, month, year, week;
        const char* text;
    };
    const Case cases[] = {
        {0, 0x05, 0x03, 0x19, 0x04, "Tuesday, March 05, 2019"},
        {0, 0x05, 0x03, 0x19, 0x03, "Error, March 05, 2019"},
        {0, 0x05, 0x03, 0x19, 0x00, "Error, March 05, 2019"},
        {0, 0x31, 0x12, 0x99, 0x40, "Saturday, December 31, 2099"},
        {0, 0x32, 0x01, 0x20, 0x01, "Error"},
        {0, 0x15, 0x13, 0x20, 0x01, "Date Error"},
        {0, 0xFF, 0xFF, 0xFF, 0xFF, "Error"},
        {1, 0x05, 0x03, 0x19, 0x04, "Error"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(DateTextFromRegisters(c.status, c.day, c.month, c.year, c.week), c.text);
    }
}

TEST(StatusTexts, TemperatureFromRegister) {
    EXPECT_EQ(TemperatureTextFromRegister(0, 0x80), "21.4");
    EXPECT_EQ(TemperatureTextFromRegister(0, 0x00), "-58.2");
    EXPECT_EQ(TemperatureTextFromRegister(1, 0x80), "Error");
    EXPECT_EQ(TemperatureTextFromRegister(4, 0xFF), "Error");
}

}  // namespace
}  // namespace kalendo
