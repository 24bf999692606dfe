// The Registers page on the simulated board: the list per model and its values, the
// single and sequence sends with what reaches the bus, text that is not a hex byte, the
// not-connected and failed-bus paths.
#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

#include "app/connection_state.h"
#include "pages/registers_page.h"
#include "resources/resource_ids.h"
#include "tests/ui_time_alarm/page_test_support.h"

namespace kalendo {
namespace {

constexpr int kTab = 4;

class RegistersPageTest : public RtcPageTest {
  protected:
    HWND List() const { return PageItem(kTab, IDC_REG_LIST); }
    int LineCount() const { return static_cast<int>(SendMessageA(List(), LVM_GETITEMCOUNT, 0, 0)); }
    std::string Cell(int line, int column) const {
        char text[64] = {};
        LVITEMA item = {};
        item.iSubItem = column;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        SendMessageA(List(), LVM_GETITEMTEXTA, static_cast<WPARAM>(line),
                     reinterpret_cast<LPARAM>(&item));
        return text;
    }
    std::vector<std::string> Line(int line) const {
        std::vector<std::string> cells;
        for (int column = 0; column < 5; ++column) {
            cells.push_back(Cell(line, column));
        }
        return cells;
    }
    void Type(int row, const char* address, const char* data) const {
        SetWindowTextA(PageItem(kTab, IDC_REG_ADDRESS_FIRST + row - 1), address);
        SetWindowTextA(PageItem(kTab, IDC_REG_DATA_FIRST + row - 1), data);
    }
    void Send(int row) const { ClickPage(kTab, RegistersPage::SendButtonId(row)); }
};

TEST_F(RegistersPageTest, Tq5100ListShowsTheChipsValuesAndTheReservedPairAsZero) {
    StartOnTab(kTab);
    Connect();
    WriteRtc(0x07, 0xA5);
    sim_.ClearRegisterWrites();
    ClickPage(kTab, IDC_REG_REFRESH);
    EXPECT_EQ(Text(IDC_MAIN_INFO), "RTC Register values refreshed");
    EXPECT_TRUE(sim_.ValueWrites(kRtcAddress).empty());
    // Every readable register is read once; the reserved pair never is.
    std::vector<uint8_t> expectedReads;
    for (uint8_t reg = 0; reg < 32; ++reg) {
        if (reg != 0x19 && reg != 0x1A) {
            expectedReads.push_back(reg);
        }
    }
    EXPECT_EQ(sim_.RegistersRead(kRtcAddress), expectedReads);
    ASSERT_EQ(LineCount(), 32);
    using Cells = std::vector<std::string>;
    EXPECT_EQ(Line(0x07), (Cells{"07", "RAM", "A5", "165", "Read/Write"}));
    EXPECT_EQ(Line(0x17)[4], "Read Only");
    EXPECT_EQ(Line(0x19), (Cells{"19", "Reserved", "00", "0", "Read Only"}));
    EXPECT_EQ(Line(0x1A), (Cells{"1A", "Reserved", "00", "0", "Read Only"}));
    char hex[4];
    snprintf(hex, sizeof hex, "%02X", ReadRtc(0x0D));
    EXPECT_EQ(Line(0x0D), (Cells{"0D", "Extension Register", hex, std::to_string(ReadRtc(0x0D)),
                                 "Read/Write"}));
}

TEST_F(RegistersPageTest, AfterADisconnectTheListKeepsItsLinesWithValuesShownAsNa) {
    StartOnTab(kTab);
    Connect();
    WriteRtc(0x07, 0x3C);
    ClickPage(kTab, IDC_REG_REFRESH);
    ASSERT_EQ(Cell(0x07, 2), "3C");
    Click(IDC_MAIN_CONNECT);  // disconnect
    ASSERT_FALSE(BoardConnected);
    ClickPage(kTab, IDC_REG_REFRESH);
    ASSERT_EQ(LineCount(), 32);
    for (int line = 0; line < 32; ++line) {
        EXPECT_EQ(Cell(line, 2), "na") << line;
        EXPECT_EQ(Cell(line, 3), "na") << line;
    }
    EXPECT_EQ(Line(0x07)[1], "RAM");
    EXPECT_EQ(Text(IDC_MAIN_INFO), "RTC Register values refreshed");
}

TEST_F(RegistersPageTest, ShowingTheTabRereadsEveryValueAndSaysWhetherItCould) {
    const struct {
        bool rtcAnswers;
        const char* ram;
        const char* message;
    } cases[] = {
        {true, "5A", ""},  // a shown page's routine message is not kept; a failure is
        {false, "Error", "ERROR: RTC Register values not read, bus error"},
        {true, "5A", ""},
    };
    StartOnTab(kTab);
    Connect();
    WriteRtc(0x07, 0x5A);
    for (const auto& c : cases) {
        sim_.SetAddressAck(kRtcAddress, c.rtcAnswers);
        ShowTab(0);
        ShowTab(kTab);
        EXPECT_EQ(Text(IDC_MAIN_INFO), c.message);
        EXPECT_EQ(Cell(0x07, 2), c.ram);
        EXPECT_EQ(Cell(0x00, 3) == "Error", !c.rtcAnswers);
        EXPECT_EQ(Line(0x07)[1], "RAM");
    }
}

TEST_F(RegistersPageTest, ModelChangeWhileConnectedKeepsTheOldLinesWithNaUntilTheNextConnect) {
    StartOnTab(kTab);
    Connect();
    ASSERT_EQ(Line(0x0D)[1], "Extension Register");
    ChooseModel(1);  // disconnects first
    ASSERT_FALSE(BoardConnected);
    ShowTab(0);
    ShowTab(kTab);
    ASSERT_EQ(LineCount(), 32);
    EXPECT_EQ(Line(0x0D)[1], "Extension Register");  // the lines of the model before
    for (int line = 0; line < 32; ++line) {
        EXPECT_EQ(Cell(line, 2), "na") << line;
        EXPECT_EQ(Cell(line, 3), "na") << line;
    }
    Connect();
    EXPECT_EQ(Line(0x0D)[1], "Control 1 Register");
    EXPECT_NE(Cell(0x0D, 2), "na");
}

TEST_F(RegistersPageTest, ModelChoiceSwitchesTheTableButTheAddressBoxesKeepTheTq5100Addresses) {
    StartOnTab(kTab);
    Connect();
    ChooseModel(1);
    if (!BoardConnected) {
        Connect();
    }
    ClickPage(kTab, IDC_REG_REFRESH);
    ASSERT_EQ(LineCount(), 32);
    EXPECT_EQ(Line(0x0D)[1], "Control 1 Register");
    EXPECT_EQ(Line(0x10)[1], "Time Stamp Seconds");
    EXPECT_EQ(Line(0x10)[4], "Read Only");
    EXPECT_EQ(Line(0x19)[1], "SOUT Control 1");

    // No model chosen: the placeholder table, which reads nothing (RAM holds A5 on the chip).
    WriteRtc(0x07, 0xA5);
    ChooseModel(-1);
    if (!BoardConnected) {
        Connect();
    }
    ClickPage(kTab, IDC_REG_REFRESH);
    ASSERT_EQ(LineCount(), 32);
    for (int line = 0; line < 32; ++line) {
        EXPECT_EQ(Cell(line, 1), "n/a") << line;
        EXPECT_EQ(Cell(line, 2), "00") << line;
        EXPECT_EQ(Cell(line, 4), "Read/Write") << line;
    }

    for (int row = 1; row <= kCommandRows; ++row) {
        HWND box = PageItem(kTab, IDC_REG_ADDRESS_FIRST + row - 1);
        ASSERT_EQ(SendMessageA(box, CB_GETCOUNT, 0, 0), 31) << row;
        EXPECT_EQ(SendMessageA(box, CB_GETCURSEL, 0, 0), 0) << row;
        EXPECT_EQ(SendMessageA(box, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                               reinterpret_cast<LPARAM>("19")),
                  CB_ERR);
        EXPECT_EQ(SendMessageA(box, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                               reinterpret_cast<LPARAM>("1A")),
                  CB_ERR);
        EXPECT_NE(SendMessageA(box, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                               reinterpret_cast<LPARAM>("1F")),
                  CB_ERR);
    }
}

TEST_F(RegistersPageTest, SingleSendWritesExactlyTheTypedByteAndRefreshesTheList) {
    StartOnTab(kTab);
    Connect();
    sim_.ClearRegisterWrites();
    Type(1, "0F", "FF");
    Send(1);
    EXPECT_EQ(Text(IDC_MAIN_INFO), "Single Command Sent: Addr=f, Data=ff");
    Type(10, "07", "5a");
    Send(10);
    EXPECT_EQ(Text(IDC_MAIN_INFO), "Single Command Sent: Addr=7, Data=5a");
    const std::vector<BusWrite> expected = {{0x0F, {0xFF}}, {0x07, {0x5A}}};
    EXPECT_EQ(sim_.ValueWrites(kRtcAddress), expected);
    EXPECT_EQ(Cell(0x07, 2), "5A");
    EXPECT_EQ(Cell(0x07, 3), "90");
}

TEST_F(RegistersPageTest, SingleSendOfTextThatIsNotAHexByteSendsNothing) {
    StartOnTab(kTab);
    Connect();
    const struct {
        const char* address;
        const char* data;
    } cases[] = {
        {"1FF", "00"},  // would reach register 0xFF
        {"zz", "12"},   // would write register 0
        {"07", "g"},    // would write 0
        {"07", "-1"},   // would write 0xFF
        {"07", ""},    {"", "12"}, {" ", "12"},
    };
    for (const auto& c : cases) {
        sim_.ClearRegisterWrites();
        Type(3, c.address, c.data);
        Send(3);
        EXPECT_EQ(Text(IDC_MAIN_INFO), "Data Invalid!") << c.address << "/" << c.data;
        EXPECT_TRUE(sim_.ValueWrites(kRtcAddress).empty()) << c.address << "/" << c.data;
    }
}

TEST_F(RegistersPageTest, WithoutAConnectionNothingIsSentAndAnEmptyRowIsStillInvalid) {
    StartOnTab(kTab);
    sim_.ClearRegisterWrites();
    Type(2, "07", "");
    Send(2);
    EXPECT_EQ(Text(IDC_MAIN_INFO), "Data Invalid!");
    Type(2, "07", "11");
    Send(2);
    EXPECT_EQ(Text(IDC_MAIN_INFO), "WARNING: Command not sent, RTC not connected");
    ClickPage(kTab, IDC_REG_SEND_ALL);
    EXPECT_EQ(Text(IDC_MAIN_INFO), "WARNING: Sequence not sent, RTC not connected");
    EXPECT_TRUE(sim_.ValueWrites(kRtcAddress).empty());
}

TEST_F(RegistersPageTest, SendAllWritesCompleteRowsInOrderAndSkipsIncompleteOnes) {
    StartOnTab(kTab);
    Connect();
    sim_.ClearRegisterWrites();
    ClickPage(kTab, IDC_REG_SEND_ALL);
    EXPECT_EQ(Text(IDC_MAIN_INFO), "Commands sent in sequence: 0");
    EXPECT_TRUE(sim_.ValueWrites(kRtcAddress).empty());

    Type(1, "07", "11");
    Type(2, "08", "");  // incomplete: skipped without a message
    Type(4, "0B", "22");
    Type(10, "", "33");  // incomplete
    Type(7, "07", "44");
    ClickPage(kTab, IDC_REG_SEND_ALL);
    EXPECT_EQ(Text(IDC_MAIN_INFO), "Commands sent in sequence: 3");
    const std::vector<BusWrite> expected = {{0x07, {0x11}}, {0x0B, {0x22}}, {0x07, {0x44}}};
    EXPECT_EQ(sim_.ValueWrites(kRtcAddress), expected);
    EXPECT_EQ(Cell(0x07, 2), "44");
}

TEST_F(RegistersPageTest, SendAllWithAnInvalidFilledRowSendsNothingAndNamesTheRow) {
    StartOnTab(kTab);
    Connect();
    sim_.ClearRegisterWrites();
    Type(1, "07", "11");
    Type(3, "1FF", "22");
    Type(5, "08", "zz");
    ClickPage(kTab, IDC_REG_SEND_ALL);
    EXPECT_EQ(Text(IDC_MAIN_INFO), "Data Invalid! Sequence not sent, row 3");
    EXPECT_TRUE(sim_.ValueWrites(kRtcAddress).empty());
}

TEST_F(RegistersPageTest, FailedWritesAndReadsAreReportedAsErrors) {
    StartOnTab(kTab);
    Connect();
    sim_.SetAddressAck(kRtcAddress, false);
    ClickPage(kTab, IDC_REG_REFRESH);
    EXPECT_EQ(Text(IDC_MAIN_INFO), "ERROR: RTC Register values not read, bus error");
    EXPECT_EQ(Line(0x07), (std::vector<std::string>{"07", "RAM", "Error", "Error", "Read/Write"}));
    Type(1, "07", "11");
    Send(1);
    EXPECT_EQ(Text(IDC_MAIN_INFO), "ERROR: Single Command not sent: Addr=7, Data=11, bus error");
    Type(2, "08", "22");
    ClickPage(kTab, IDC_REG_SEND_ALL);
    EXPECT_EQ(Text(IDC_MAIN_INFO), "ERROR: 2 of 2 commands not sent, bus error (row 1)");
    sim_.SetAddressAck(kRtcAddress, true);
    ClickPage(kTab, IDC_REG_SEND_ALL);
    EXPECT_EQ(Text(IDC_MAIN_INFO), "Commands sent in sequence: 2");
}

TEST_F(RegistersPageTest, ClearAllEmptiesEveryRowWithOrWithoutAConnection) {
    StartOnTab(kTab);
    for (int row = 1; row <= kCommandRows; ++row) {
        SendMessageA(PageItem(kTab, IDC_REG_ADDRESS_FIRST + row - 1), CB_SETCURSEL, row, 0);
        SetWindowTextA(PageItem(kTab, IDC_REG_DATA_FIRST + row - 1), "AB");
    }
    ClickPage(kTab, IDC_REG_CLEAR_ALL);
    EXPECT_EQ(Text(IDC_MAIN_INFO), "Commands cleared");
    for (int row = 1; row <= kCommandRows; ++row) {
        EXPECT_EQ(PageText(kTab, IDC_REG_DATA_FIRST + row - 1), "") << row;
        EXPECT_EQ(PageText(kTab, IDC_REG_ADDRESS_FIRST + row - 1), "") << row;
        EXPECT_EQ(SendMessageA(PageItem(kTab, IDC_REG_ADDRESS_FIRST + row - 1), CB_GETCURSEL, 0, 0),
                  0)
            << row;
    }
}

}  // namespace
}  // namespace kalendo
