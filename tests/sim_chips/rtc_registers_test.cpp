// The RTC's register map: access per model, aliases, pointer wrap, flags, temperature code and
// the time stamp.
#include <gtest/gtest.h>

#include <cmath>

#include "chip_test_support.h"

namespace kalendo::sim::testing {
namespace {

struct Board {
    explicit Board(RtcModel model) : chips(ChipsConfig{model, &clock, 1, ""}) {}
    I2cSlave& Rtc() { return chips.Rtc(); }
    VirtualClock clock;
    EvaluationBoardChips chips;
};

TEST(RtcRegistersTest, WritesReadBackAsEachModelsRegisterMapSays) {
    struct Case {
        RtcModel model;
        uint8_t reg;
        uint8_t written;
        uint8_t expected;
        const char* why;
    };
    const Case cases[] = {
        {RtcModel::Tq5100, 0x07, 0xA5, 0xA5, "RAM"},
        {RtcModel::Tq5100, 0x02, 0xFF, 0x3F, "unused hour bits read 0"},
        {RtcModel::Tq5100, 0x08, 0xD9, 0xD9, "alarm keeps its ignore bit"},
        {RtcModel::Tq5100, 0x0C, 0xFF, 0x0F, "12-bit counter: upper nibble reads 0"},
        {RtcModel::Tq5100, 0x0D, 0x4E, 0x4E, "extension register, FOUT bits included"},
        {RtcModel::Tq5100, 0x0E, 0xC0, 0x00, "reserved flag bits read 0"},
        {RtcModel::Tq5100, 0x0F, 0x40, 0x40, "control register"},
        {RtcModel::Tq5100, 0x18, 0x01, 0x01, "backup function"},
        {RtcModel::Tq5100, 0x19, 0x55, 0x00, "reserved"},
        {RtcModel::Tq5100, 0x1A, 0x55, 0x00, "reserved"},
        {RtcModel::Tq5200, 0x0C, 0xFF, 0xFF, "24-bit counter: whole byte"},
        {RtcModel::Tq5200, 0x0E, 0x40, 0x40, "flag register bit 6 holds what is written"},
        {RtcModel::Tq5200, 0x10, 0x55, 0x00, "time stamp is read-only"},
        {RtcModel::Tq5200, 0x16, 0x55, 0x00, "time stamp is read-only"},
        {RtcModel::Tq5200, 0x17, 0x5A, 0x5A, "EVIN control"},
        {RtcModel::Tq5200, 0x1B, 0x5A, 0x5A, "timer control"},
        {RtcModel::Tq5200, 0x1C, 0x55, 0x00, "timer monitor is read-only"},
        {RtcModel::Tq5200, 0x1E, 0x55, 0x00, "timer monitor is read-only"},
        {RtcModel::Tq5200, 0x1F, 0x12, 0x12, "timer2 preset"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(ModelName(c.model)) + " register " + std::to_string(c.reg) + ": " +
                     c.why);
        Board board(c.model);
        EXPECT_TRUE(WriteBytes(board.Rtc(), c.reg, {c.written}));
        EXPECT_EQ(ReadByte(board.Rtc(), c.reg), c.expected);
    }
}

TEST(RtcRegistersTest, Tq5100TemperatureRegisterIsReadOnly) {
    Board board(RtcModel::Tq5100);
    const uint8_t before = ReadByte(board.Rtc(), 0x17);
    WriteBytes(board.Rtc(), 0x17, {static_cast<uint8_t>(before ^ 0xFF)});
    EXPECT_EQ(ReadByte(board.Rtc(), 0x17), before);
}

TEST(RtcRegistersTest, Tq5100CopiesShareStorageWithTheirOriginals) {
    Board board(RtcModel::Tq5100);
    WriteBytes(board.Rtc(), 0x0F, {0x01});  // guard: the time fields stay as written
    const uint8_t copies[] = {0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x1B, 0x1C, 0x1D, 0x1F};
    uint8_t value = 0x11;
    for (const uint8_t copy : copies) {
        SCOPED_TRACE("copy " + std::to_string(copy));
        const uint8_t original = copy - 0x10;
        // 0x1F is the control register: keep the guard bit set while writing it.
        const uint8_t written = copy == 0x1F ? 0x41 : static_cast<uint8_t>(value & 0x1F);
        WriteBytes(board.Rtc(), copy, {written});
        EXPECT_EQ(ReadByte(board.Rtc(), original), written);
        const uint8_t back = copy == 0x1F ? 0x49 : static_cast<uint8_t>(written + 1);
        WriteBytes(board.Rtc(), original, {back});
        EXPECT_EQ(ReadByte(board.Rtc(), copy), back);
        value = static_cast<uint8_t>(value + 0x02);
    }
}

TEST(RtcRegistersTest, FlagsClearOnlyWhereZeroIsWritten) {
    for (const RtcModel model : {RtcModel::Tq5100, RtcModel::Tq5200}) {
        for (const uint8_t flagRegister : {uint8_t{0x0E}, uint8_t{0x1E}}) {
            if (model == RtcModel::Tq5200 && flagRegister == 0x1E) continue;  // no copy there
            SCOPED_TRACE(std::string(ModelName(model)) + " via " + std::to_string(flagRegister));
            Board board(model);
            // Raise both flags: every minute matches, and a 1-second timer.
            WriteBytes(board.Rtc(), 0x08, {0x80, 0x80, 0x80});
            WriteBytes(board.Rtc(), 0x0B, {0x01, 0x00});
            WriteBytes(board.Rtc(), 0x0D, {0x12});
            board.clock.AdvanceSeconds(60);
            ASSERT_EQ(ReadByte(board.Rtc(), 0x0E) & 0x18, 0x18);
            WriteBytes(board.Rtc(), 0x0D, {0x02});  // stop the timer so no new flag comes

            WriteBytes(board.Rtc(), flagRegister, {0xFF});
            EXPECT_EQ(ReadByte(board.Rtc(), 0x0E) & 0x18, 0x18) << "writing 1 keeps a flag";
            WriteBytes(board.Rtc(), flagRegister, {0xEF});
            EXPECT_EQ(ReadByte(board.Rtc(), 0x0E) & 0x18, 0x08) << "writing 0 clears it";
            WriteBytes(board.Rtc(), flagRegister, {0xF7});
            EXPECT_EQ(ReadByte(board.Rtc(), 0x0E) & 0x18, 0x00);
            WriteBytes(board.Rtc(), flagRegister, {0x18});
            EXPECT_EQ(ReadByte(board.Rtc(), 0x0E) & 0x18, 0x00) << "writing 1 never sets one";
        }
    }
}

TEST(RtcRegistersTest, PointerAutoIncrementsAndWrapsWithinThe32Registers) {
    Board board(RtcModel::Tq5200);
    WriteBytes(board.Rtc(), 0x0F, {0x01});
    EXPECT_TRUE(WriteBytes(board.Rtc(), 0x1F, {0x21, 0x45, 0x33}));  // 0x1F, 0x00, 0x01
    EXPECT_EQ(ReadBytes(board.Rtc(), 0x1F, 3), (std::vector<uint8_t>{0x21, 0x45, 0x33}));
    EXPECT_EQ(ReadByte(board.Rtc(), 0x00), 0x45);
    // Only the low five bits of the register number are decoded.
    WriteBytes(board.Rtc(), 0x27, {0x5C});
    EXPECT_EQ(ReadByte(board.Rtc(), 0x07), 0x5C);
    // A read of more than 32 bytes comes round to where it started.
    const std::vector<uint8_t> all = ReadBytes(board.Rtc(), 0x07, 33);
    EXPECT_EQ(all.front(), 0x5C);
    EXPECT_EQ(all.back(), 0x5C);
}

TEST(RtcRegistersTest, Tq5100TemperatureCodeFollowsTheBoard) {
    struct Case {
        double celsius;
        uint8_t code;
    };
    // code = round((3.218 * celsius + 187.19) / 2), held in 0..255
    const Case cases[] = {{25.0, 134}, {-40.0, 29}, {85.0, 230}, {0.0, 94},
                          {-58.2, 0},  {-100.0, 0}, {150.0, 255}};
    Board board(RtcModel::Tq5100);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.celsius);
        board.chips.SetBoardTemperature(c.celsius);
        const uint8_t code = ReadByte(board.Rtc(), 0x17);
        EXPECT_EQ(code, c.code);
        const double shown = (2.0 * code - 187.19) / 3.218;  // what the program shows
        if (c.code > 0 && c.code < 255) {
            EXPECT_NEAR(shown, c.celsius, 1.0 / 3.218 + 1e-9);  // half a code
        }
    }
}

TEST(RtcRegistersTest, Tq5200TimeStampCapturesTheTimeOfTheEvent) {
    Board board(RtcModel::Tq5200);
    SetRtcTime(board.Rtc(), {2024, 3, 15, 9, 41, 7, 0x20});
    board.clock.AdvanceSeconds(90);
    board.chips.FireEventInput();
    board.clock.AdvanceSeconds(600);
    EXPECT_EQ(ReadBytes(board.Rtc(), 0x10, 7),
              (std::vector<uint8_t>{0x37, 0x42, 0x09, 0x20, 0x15, 0x03, 0x24}));
    EXPECT_EQ(ReadRtcTime(board.Rtc()).minute, 52);
}

TEST(RtcRegistersTest, Tq5100HasNoEventInput) {
    Board board(RtcModel::Tq5100);
    WriteBytes(board.Rtc(), 0x0F, {0x01});
    WriteBytes(board.Rtc(), 0x00, {0x12});
    board.chips.FireEventInput();
    EXPECT_EQ(ReadByte(board.Rtc(), 0x10), 0x12);  // still the copy of the seconds
}

}  // namespace
}  // namespace kalendo::sim::testing
