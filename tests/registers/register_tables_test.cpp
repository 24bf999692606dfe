#include "rtc/register_tables.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace kalendo {
namespace {

TEST(RegisterTables, EveryRowSitsAtItsOwnAddressWithNoValueYet) {
    for (const RegisterInfo* table :
         {Tq5100RegisterTable, Tq5200RegisterTable, PlaceholderRegisterTable}) {
        for (int i = 0; i < kRegisterTableRows; ++i) {
            EXPECT_EQ(table[i].address, static_cast<uint32_t>(i));
            EXPECT_EQ(table[i].value, 0u);
            ASSERT_NE(table[i].name, nullptr);
            EXPECT_GT(std::strlen(table[i].name), 0u);
        }
    }
}

TEST(RegisterTables, OnlyTheTq5100ReservedRowsAndThePlaceholderAreNeverRead) {
    for (int i = 0; i < kRegisterTableRows; ++i) {
        const bool reserved = i == 0x19 || i == 0x1A;
        EXPECT_EQ(Tq5100RegisterTable[i].readable, reserved ? 0 : 1) << i;
        EXPECT_EQ(std::string(Tq5100RegisterTable[i].name) == "Reserved", reserved) << i;
        EXPECT_EQ(Tq5200RegisterTable[i].readable, 1) << i;
        EXPECT_EQ(PlaceholderRegisterTable[i].readable, 0) << i;
        EXPECT_STREQ(PlaceholderRegisterTable[i].name, "n/a");
        EXPECT_STREQ(AccessText(PlaceholderRegisterTable[i]), "Read/Write");
    }
}

TEST(RegisterTables, ReadOnlyRowsOfEachModel) {
    std::string tq5100;
    std::string tq5200;
    for (int i = 0; i < kRegisterTableRows; ++i) {
        tq5100 += Tq5100RegisterTable[i].readOnly ? 'R' : '-';
        tq5200 += Tq5200RegisterTable[i].readOnly ? 'R' : '-';
    }
    // The TQ5100: temperature and the reserved pair; the TQ5200: the time stamp and the monitors.
    EXPECT_EQ(tq5100, "-----------------------R-RR-----");
    EXPECT_EQ(tq5200, "----------------RRRRRRR-----RRR-");
    EXPECT_STREQ(AccessText(Tq5200RegisterTable[0x10]), "Read Only");
    EXPECT_STREQ(AccessText(Tq5200RegisterTable[0x1F]), "Read/Write");
}

TEST(RegisterTables, ModelBoxPositionPicksTheTableAndNoModelGivesThePlaceholder) {
    EXPECT_EQ(RegisterTableAt(0), Tq5100RegisterTable);
    EXPECT_EQ(RegisterTableAt(1), Tq5200RegisterTable);
    EXPECT_EQ(RegisterTableAt(2), PlaceholderRegisterTable);
    EXPECT_EQ(RegisterTableAt(-1), PlaceholderRegisterTable);
    EXPECT_EQ(RegisterTableAt(3), PlaceholderRegisterTable);
    EXPECT_STREQ(RegisterTableAt(1)[0x0D].name, "Control 1 Register");
    EXPECT_STREQ(RegisterTableAt(0)[0x0D].name, "Extension Register");
}

}  // namespace
}  // namespace kalendo
