// The two forms of a command's facts: one "name: value" line each, or one JSON object.
#include <gtest/gtest.h>

#include <cmath>

#include "cli/fact_output.h"

namespace kalendo::cli {
namespace {

void Fill(FactOutput& out) {
    out.Text("time", "12:00:00");
    out.Number("offset_ppm", 8.01234, 3);
    out.Integer("transitions", 600);
    out.Flag("within_tolerance", false);
    FactOutput::Row a, b;
    a.Text("address", "0x00").Text("name", "Sec \"onds\"");
    b.Text("address", "0x01").Integer("n", 2);
    out.ListRow("registers", a, "0x00 Seconds");
    out.ListRow("registers", b, "0x01 Minutes");
}

TEST(FactOutputTest, LinesAndJsonCarryTheSameFacts) {
    FactOutput lines(false), json(true);
    Fill(lines);
    Fill(json);
    EXPECT_EQ(lines.Render(),
              "time: 12:00:00\noffset_ppm: 8.012\ntransitions: 600\nwithin_tolerance: no\n"
              "0x00 Seconds\n0x01 Minutes\n");
    EXPECT_EQ(json.Render(),
              "{\"time\": \"12:00:00\", \"offset_ppm\": 8.012, \"transitions\": 600, "
              "\"within_tolerance\": false, \"registers\": [{\"address\": \"0x00\", \"name\": "
              "\"Sec \\\"onds\\\"\"}, {\"address\": \"0x01\", \"n\": 2}]}\n");
}

TEST(FactOutputTest, ControlCharactersAndNonNumbersStayValidJson) {
    EXPECT_EQ(JsonString("a\\b\n\x01"), "\"a\\\\b\\u000a\\u0001\"");
    FactOutput json(true);
    json.Number("value", std::nan(""), 2);
    EXPECT_EQ(json.Render(), "{\"value\": null}\n");
}

}  // namespace
}  // namespace kalendo::cli
