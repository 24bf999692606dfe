#include <gtest/gtest.h>

#include "rtc/bcd_codec.h"
#include "rtc/temperature.h"
#include "rtc/texts/temperature_text.h"
#include "rtc/weekday.h"

namespace kalendo {
namespace {

TEST(BcdCodec, DecodesWithoutValidatingNibbles) {
    struct Case {
        uint8_t reg;
        int value;
        int alarmValue;  // bit 7 ignored
    };
    const Case cases[] = {
        {0x00, 0, 0},  {0x59, 59, 59},  {0x1A, 20, 20}, {0xFF, 165, 85},
        {0x80, 80, 0}, {0xD9, 139, 59}, {0x24, 24, 24}, {0x7F, 85, 85},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "register 0x" << std::hex << int(c.reg));
        EXPECT_EQ(FromBcd(c.reg), c.value);
        EXPECT_EQ(FromAlarmBcd(c.reg), c.alarmValue);
    }
}

TEST(BcdCodec, EncodesModulo256WithoutRangeCheck) {
    struct Case {
        int value;
        uint8_t reg;
    };
    const Case cases[] = {{0, 0x00}, {7, 0x07}, {59, 0x59}, {99, 0x99}, {100, 0xA0}, {165, 0x05}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(ToBcd(c.value), c.reg);
    }
}

TEST(BcdCodec, RoundTripsEveryTwoDigitNumberAndYear) {
    for (int n = 0; n <= 99; ++n) {
        EXPECT_EQ(FromBcd(ToBcd(n)), n) << n;
        EXPECT_EQ(YearFromRegister(YearToRegister(2000 + n)), 2000 + n) << n;
    }
    EXPECT_EQ(YearToRegister(2100), 0xA0);  // the year the register cannot hold
}

TEST(Weekday, OneBitPerDayFromSunday) {
    const char* names[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                           "Thursday", "Friday", "Saturday"};
    for (int d = 0; d < 7; ++d) {
        EXPECT_EQ(WeekdayBit(d), 1 << d) << d;
        EXPECT_STREQ(WeekdayName(WeekdayBit(d)), names[d]);
    }
    EXPECT_EQ(WeekdayBit(-1), 0);
    EXPECT_EQ(WeekdayBit(7), 0);
}

TEST(Weekday, AnythingButOneOfTheSevenBitsIsAnError) {
    for (uint8_t week : {0x00, 0x03, 0x80, 0xFF, 0x41}) {
        EXPECT_STREQ(WeekdayName(week), "Error") << int(week);
    }
}

TEST(Temperature, ConvertsRawCodeToOneDecimal) {
    struct Case {
        uint8_t raw;
        const char* text;
    };
    const Case cases[] = {{0x00, "-58.2"}, {0x5E, "0.3"}, {0x80, "21.4"}, {0xFF, "100.3"}};
    for (const Case& c : cases) {
        EXPECT_EQ(FormatTemperatureText(TemperatureCelsius(c.raw)), c.text) << int(c.raw);
    }
}

}  // namespace
}  // namespace kalendo
