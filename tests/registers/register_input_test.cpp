#include "rtc/texts/register_input.h"

#include <gtest/gtest.h>

namespace kalendo {
namespace {

TEST(ParseRegisterByte, TakesPlainHexBytesInAnyCaseWithPrefixAndBlanks) {
    const struct {
        const char* text;
        uint8_t value;
    } cases[] = {
        {"0", 0x00},    {"00", 0x00},       {"f", 0x0F},    {"0F", 0x0F},   {"ff", 0xFF},
        {"FF", 0xFF},   {"1a", 0x1A},       {"0x1A", 0x1A}, {"0XfF", 0xFF}, {" 7 ", 0x07},
        {"\t80", 0x80}, {"000000FF", 0xFF}, {"0x0", 0x00},
    };
    for (const auto& c : cases) {
        uint8_t value = 0x5A;
        EXPECT_TRUE(ParseRegisterByte(c.text, &value)) << c.text;
        EXPECT_EQ(value, c.value) << c.text;
    }
}

TEST(ParseRegisterByte, RefusesAnythingThatIsNotOneByteAndLeavesTheValue) {
    // "1FF" would otherwise reach register 0xFF, "zz" and "-1" would write 0 or 0xFF, "1 2" and
    // "0F;" only their valid start.
    const char* const cases[] = {
        "",   "   ", "zz",  "1FF", "100", "0x",  "0x100", "-1",
        "+1", "1 2", "0F;", "g",   "1g",  "0xg", "x1",    "12345678901234567890",
    };
    for (const char* text : cases) {
        uint8_t value = 0x5A;
        EXPECT_FALSE(ParseRegisterByte(text, &value)) << '"' << text << '"';
        EXPECT_EQ(value, 0x5A) << text;
    }
}

}  // namespace
}  // namespace kalendo
