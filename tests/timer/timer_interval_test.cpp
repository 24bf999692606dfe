// The trigger text at the unit switches of each source clock, and the counter's bytes per model.
#include "pages/timer_interval.h"

#include <gtest/gtest.h>

namespace kalendo {
namespace {

TEST(TimerTriggerText, SwitchesUnitsAtTheBoundariesOfEachSourceClock) {
    const struct {
        uint32_t counter;
        int source;
        const char* text;
    } cases[] = {
        {1, 0, "Counter will trigger after 244.14 \xB5s"},
        {4, 0, "Counter will trigger after 976.56 \xB5s"},
        {5, 0, "Counter will trigger after 1.221 ms"},
        {4095, 0, "Counter will trigger after 999.753 ms"},
        {63, 1, "Counter will trigger after 984.375 ms"},
        {64, 1, "Counter will trigger after 1.00 seconds"},
        {16777215, 1, "Counter will trigger after 262143.98 seconds"},
        {7, 2, "Counter will trigger after 7 seconds"},
        {16777215, 2, "Counter will trigger after 16777215 seconds"},
        {90, 3, "Counter will trigger after 90 minutes"},
    };
    for (const auto& c : cases) {
        std::string text;
        EXPECT_TRUE(TimerTriggerText(true, c.counter, c.source, &text));
        EXPECT_EQ(text, c.text) << c.counter << " at source " << c.source;
    }
}

TEST(TimerTriggerText, NotConnectedAndZeroComeFirstAndNoSourceLeavesTheText) {
    std::string text = "before";
    EXPECT_TRUE(TimerTriggerText(false, 5, -1, &text));
    EXPECT_EQ(text, "RTC is not connected, Timer will not trigger");
    EXPECT_TRUE(TimerTriggerText(true, 0, -1, &text));
    EXPECT_EQ(text, "Counter is 0, Timer will not trigger");
    text = "before";
    EXPECT_FALSE(TimerTriggerText(true, 5, -1, &text));
    EXPECT_FALSE(TimerTriggerText(true, 5, 4, &text));
    EXPECT_EQ(text, "before");
}

TEST(TimerCounter, RegistersOfEachModelRoundTripWithinTheCounterWidth) {
    const struct {
        bool tq5200;
        uint32_t value;
        TimerCounterBytes bytes;
    } cases[] = {
        {false, 0, {0x00, 0x00, 0x00}},       {false, 4095, {0xFF, 0x0F, 0x00}},
        {false, 0x5A3, {0xA3, 0x05, 0x00}},   {true, 16777215, {0xFF, 0xFF, 0xFF}},
        {true, 0x123456, {0x56, 0x34, 0x12}},
    };
    for (const auto& c : cases) {
        const TimerCounterBytes bytes = TimerCounterToRegisters(c.value, c.tq5200);
        EXPECT_EQ(bytes.counter0, c.bytes.counter0) << c.value;
        EXPECT_EQ(bytes.counter1, c.bytes.counter1) << c.value;
        EXPECT_EQ(bytes.preset2, c.bytes.preset2) << c.value;
        EXPECT_EQ(TimerCounterFromRegisters(bytes, c.tq5200), c.value);
    }
    // The TQ5100 ignores the upper nibble of 0x0C when reading, whatever the chip holds there.
    EXPECT_EQ(TimerCounterFromRegisters({0x34, 0xF2, 0x99}, false), 0x234u);
    EXPECT_EQ(TimerCounterMax(false), 4095u);
    EXPECT_EQ(TimerCounterMax(true), 16777215u);
    EXPECT_EQ(TimerCounterDigits(false), 4);
    EXPECT_EQ(TimerCounterDigits(true), 8);
}

}  // namespace
}  // namespace kalendo
