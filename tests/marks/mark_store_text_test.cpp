// The store's text: a store reads back as it was written, the text is the documented one, and
// every kind of damage is named with its line.
#include <gtest/gtest.h>

#include "marks/mark_store_text.h"

namespace kalendo::marks {
namespace {

MarkStore SampleStore() {
    MarkStore s;
    Mark m;
    m.board = {"FT4ZQ8A1", "UM232H", "TQ5100"};
    m.earlyUtcNanos = 1796968404123456789LL;
    m.lateUtcNanos = 1796968404124301000LL;
    m.rtc = {2026, 12, 11, 6, 53, 24};
    m.utcOffsetSeconds = 3600;
    m.reference.source = ReferenceSource::Ntp;
    m.reference.server = "pool.ntp.org";
    m.reference.offsetSeconds = 0.000731;
    m.reference.errorSeconds = 0.004211;
    m.batteryVolts = 3.0001;
    m.celsius = 25.02;
    m.program = "kalendo-cli 2.00 build 13";
    m.sealWritten = 0x5A;
    s.marks.push_back(m);
    Mark plain;
    plain.board = {"FT4ZQ8A1", "", "TQ5200"};
    plain.earlyUtcNanos = 1797054804000000000LL;
    plain.lateUtcNanos = 1797054804000999999LL;
    plain.rtc = {2026, 12, 12, 6, 53, 24};
    plain.utcOffsetSeconds = -18000;
    plain.reference.offsetSeconds = -1.5;
    plain.reference.errorSeconds = 0.010;
    plain.program = "Kalendo 2.00 build 13";
    plain.sealFound = 0;
    s.marks.push_back(plain);
    s.events.push_back(
        {1797000000000000000LL, {"FT4ZQ8A1", "UM232H", "TQ5100"}, "kalendo-cli time set 14:30:00"});
    return s;
}

TEST(MarkStoreTextTest, AStoreReadsBackAsItWasWritten) {
    const std::string text = FormatMarkStore(SampleStore());
    const std::string expectedFirstMark =
        "kalendo mark store 1\n"
        "# Marks of RTC boards (a sharply timed seconds transition each) and the times the "
        "program\n"
        "# wrote an RTC's time, kept by Kalendo and kalendo-cli. Written by the program.\n"
        "\n"
        "mark\n"
        "board_serial: FT4ZQ8A1\n"
        "board_description: UM232H\n"
        "rtc_model: TQ5100\n"
        "transition_early_utc: 2026-12-11T05:53:24.123456789Z\n"
        "transition_late_utc: 2026-12-11T05:53:24.124301000Z\n"
        "rtc_time: 2026-12-11 06:53:24\n"
        "utc_offset_s: 3600\n"
        "reference: ntp\n"
        "reference_server: pool.ntp.org\n"
        "reference_offset_s: +0.000731000\n"
        "reference_error_s: +0.004211000\n"
        "battery_v: 3.0001\n"
        "temperature_c: 25.02\n"
        "program: kalendo-cli 2.00 build 13\n"
        "seal_written: 0x5A\n"
        "end\n";
    EXPECT_EQ(text.substr(0, expectedFirstMark.size()), expectedFirstMark);
    EXPECT_NE(text.find("\nevent\ntime_utc: 2026-12-11T14:40:00.000000000Z\n"), std::string::npos)
        << text;

    MarkStore back;
    std::string error;
    bool newer = true;
    ASSERT_TRUE(ParseMarkStore(text, &back, &error, &newer)) << error;
    EXPECT_FALSE(newer);
    EXPECT_EQ(FormatMarkStore(back), text);
    ASSERT_EQ(back.marks.size(), 2u);
    EXPECT_EQ(back.marks[0].earlyUtcNanos, 1796968404123456789LL);
    EXPECT_EQ(back.marks[0].reference.server, "pool.ntp.org");
    EXPECT_EQ(back.marks[0].sealWritten, 0x5A);
    EXPECT_EQ(back.marks[0].sealFound, -1);
    EXPECT_EQ(back.marks[1].board.description, "");
    EXPECT_TRUE(std::isnan(back.marks[1].batteryVolts));
    EXPECT_DOUBLE_EQ(back.marks[1].reference.offsetSeconds, -1.5);
    EXPECT_EQ(back.marks[1].utcOffsetSeconds, -18000);
    EXPECT_EQ(back.marks[1].sealFound, 0);
    ASSERT_EQ(back.events.size(), 1u);
    EXPECT_EQ(back.events[0].what, "kalendo-cli time set 14:30:00");
    // Windows line ends (a store copied around) read the same.
    std::string crlf;
    for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    ASSERT_TRUE(ParseMarkStore(crlf, &back, &error, &newer)) << error;
    EXPECT_EQ(FormatMarkStore(back), text);
}

TEST(MarkStoreTextTest, DamageIsNamedWithItsLine) {
    const std::string good = FormatMarkStore(SampleStore());
    const auto replaced = [&](const std::string& from, const std::string& to) {
        std::string t = good;
        const size_t at = t.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return t.replace(at, from.size(), to);
    };
    struct Case {
        std::string text;
        const char* error;
    };
    const Case cases[] = {
        {"", "line 1: not a mark store"},
        {"hello\n", "line 1: not a mark store"},
        {"kalendo mark store x\n", "line 1: no format number"},
        {replaced("rtc_time: 2026-12-11 06:53:24", "rtc_time: 2026-02-30 06:53:24"),
         "line 11: \"rtc_time\" has no valid value"},
        {replaced("transition_late_utc: 2026-12-11T05:53:24.124301000Z",
                  "transition_late_utc: 2026-12-11T05:53:23.124301000Z"),
         "line 10: \"transition_late_utc\" has no valid value"},
        {replaced("reference: ntp", "reference: sundial"),
         "line 13: \"reference\" has no valid value"},
        {replaced("reference_offset_s: +0.000731000", "reference_offset_s: 0.7"),
         "line 15: \"reference_offset_s\" has no valid value"},
        {replaced("battery_v: 3.0001", "battery_v: three"),
         "line 17: \"battery_v\" has no valid value"},
        {replaced("seal_written: 0x5A", "seal_written: 0x5G"),
         "line 20: \"seal_written\" has no valid"},
        {replaced("battery_v: 3.0001", "colour: blue"), "line 17: unknown field \"colour\""},
        {replaced("battery_v: 3.0001", "rtc_model: TQ5200"),
         "line 17: field \"rtc_model\" given twice"},
        {replaced("rtc_model: TQ5100\n", ""), "line 5: field \"rtc_model\" missing"},
        {replaced("utc_offset_s: 3600", "utc offset 3600"), "line 12: \"utc offset 3600\" is no"},
        {replaced("\nmark\n", "\nmork\n"),
         "line 5: \"mork\" where a mark or an event should begin"},
        {good.substr(0, good.find("seal_written")),
         "line 5: the mark that starts here has no \"end\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        MarkStore store;
        std::string error;
        bool newer = false;
        EXPECT_FALSE(ParseMarkStore(c.text, &store, &error, &newer));
        EXPECT_EQ(error.find(c.error), 0u) << error;
        EXPECT_FALSE(newer);
    }
    MarkStore store;
    std::string error;
    bool newer = false;
    EXPECT_FALSE(
        ParseMarkStore("kalendo mark store 2\nmark\nwhatever: new\nend\n", &store, &error, &newer));
    EXPECT_TRUE(newer);
    EXPECT_NE(error.find("format 2, written by a newer Kalendo"), std::string::npos) << error;
}

}  // namespace
}  // namespace kalendo::marks
