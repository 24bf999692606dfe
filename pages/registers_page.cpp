#include "pages/registers_page.h"

#include <commctrl.h>

#include <cstdio>
#include <map>

#include "app/check_hold.h"
#include "app/connection_state.h"
#include "app/page_action.h"
#include "app/status_text.h"
#include "bridge/register_port.h"
#include "marks/board_identity.h"
#include "pages/time_write_note.h"
#include "resources/resource_ids.h"
#include "rtc/texts/register_input.h"

namespace kalendo {

namespace {

const TooltipRow kTooltips[] = {
    {IDC_REG_LIST, "List of RTC Registers and Values"},
    {IDC_REG_REFRESH, "Click to Re-read the register values"},
    {IDC_REG_ADDRESS_FIRST + 0, "Register address to be written"},
    {IDC_REG_ADDRESS_FIRST + 1, "Register address to be written"},
    {IDC_REG_ADDRESS_FIRST + 2, "Register address to be written"},
    {IDC_REG_ADDRESS_FIRST + 3, "Register address to be written"},
    {IDC_REG_ADDRESS_FIRST + 4, "Register address to be written"},
    {IDC_REG_ADDRESS_FIRST + 5, "Register address to be written"},
    {IDC_REG_ADDRESS_FIRST + 6, "Register address to be written"},
    {IDC_REG_ADDRESS_FIRST + 7, "Register address to be written"},
    {IDC_REG_ADDRESS_FIRST + 8, "Register address to be written"},
    {IDC_REG_ADDRESS_FIRST + 9, "Register address to be written"},
    {IDC_REG_DATA_FIRST + 0, "Register value to be written"},
    {IDC_REG_DATA_FIRST + 1, "Register value to be written"},
    {IDC_REG_DATA_FIRST + 2, "Register value to be written"},
    {IDC_REG_DATA_FIRST + 3, "Register value to be written"},
    {IDC_REG_DATA_FIRST + 4, "Register value to be written"},
    {IDC_REG_DATA_FIRST + 5, "Register value to be written"},
    {IDC_REG_DATA_FIRST + 6, "Register value to be written"},
    {IDC_REG_DATA_FIRST + 7, "Register value to be written"},
    {IDC_REG_DATA_FIRST + 8, "Register value to be written"},
    {IDC_REG_DATA_FIRST + 9, "Register value to be written"},
    {IDC_REG_SEND_FIRST, "Click to send a single register write"},
    {IDC_REG_SEND_FIRST + 2, "Click to send a single register write"},
    {IDC_REG_SEND_FIRST + 3, "Click to send a single register write"},
    {IDC_REG_SEND_FIRST + 4, "Click to send a single register write"},
    {IDC_REG_SEND_FIRST + 5, "Click to send a single register write"},
    {IDC_REG_SEND_FIRST + 6, "Click to send a single register write"},
    {IDC_REG_SEND_FIRST + 7, "Click to send a single register write"},
    {IDC_REG_SEND_FIRST + 8, "Click to send a single register write"},
    {IDC_REG_SEND_FIRST + 9, "Click to send a single register write"},
    {IDC_REG_SEND_FIRST + 10, "Click to send a single register write"},
    {IDC_REG_SEND_ALL, "Click to send all register writes as one sequence"},
    {IDC_REG_CLEAR_ALL, "Click to clear all register address/data fields"},
};

int AddressBoxId(int row) {
    return IDC_REG_ADDRESS_FIRST + row - 1;
}

int DataBoxId(int row) {
    return IDC_REG_DATA_FIRST + row - 1;
}

struct ListColumn {
    const char* header;
    int width;
    int format;
};

const ListColumn kColumns[] = {
    {"Address", 80, LVCFMT_CENTER}, {"Description", 140, LVCFMT_LEFT}, {"Hex ", 40, LVCFMT_CENTER},
    {"Dec", 40, LVCFMT_CENTER},     {"Info", 80, LVCFMT_CENTER},
};

void SetSubItemText(HWND list, int item, int subItem, const char* text) {
    LVITEMA lvItem = {};
    lvItem.iSubItem = subItem;
    lvItem.pszText = const_cast<char*>(text);
    SendMessageA(list, LVM_SETITEMTEXTA, static_cast<WPARAM>(item),
                 reinterpret_cast<LPARAM>(&lvItem));
}

}  // namespace

RegistersPage::RegistersPage() : TabPage(kTooltips, sizeof kTooltips / sizeof kTooltips[0]) {}

int RegistersPage::DialogId() const {
    return IDD_PAGE_REGISTERS;
}

int RegistersPage::SendButtonId(int row) {
    return row == 1 ? IDC_REG_SEND_FIRST : IDC_REG_SEND_FIRST + row;
}

INT_PTR RegistersPage::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    HandleCommonMessage(message, wParam, lParam);
    if (message == WM_INITDIALOG) {
        InitDialog();
        return TRUE;
    }
    if (message != WM_COMMAND || HIWORD(wParam) != BN_CLICKED) {
        return FALSE;
    }
    const int id = LOWORD(wParam);
    if (id == IDC_REG_REFRESH) {
        RefreshRegisterValues();
    } else if (id == IDC_REG_SEND_ALL) {
        SendCommandSequence();
    } else if (id == IDC_REG_CLEAR_ALL) {
        ClearCommands();
    } else {
        for (int row = 1; row <= kCommandRows; ++row) {
            if (id == SendButtonId(row)) {
                SendSingleCommand(row);
                break;
            }
        }
    }
    return FALSE;
}

void RegistersPage::InitDialog() {
    HWND list = GetDlgItem(Dialog(), IDC_REG_LIST);
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                 LVS_EX_HEADERDRAGDROP | LVS_EX_FULLROWSELECT | LVS_EX_ONECLICKACTIVATE);
    for (int i = 0; i < static_cast<int>(sizeof kColumns / sizeof kColumns[0]); ++i) {
        LVCOLUMNA column = {};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
        column.fmt = kColumns[i].format;
        column.cx = kColumns[i].width;
        column.pszText = const_cast<char*>(kColumns[i].header);
        SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(i),
                     reinterpret_cast<LPARAM>(&column));
        if (i == 0) {
            // The list view always lays out its first column left-aligned when inserting it.
            LVCOLUMNA format = {};
            format.mask = LVCF_FMT;
            format.fmt = kColumns[0].format;
            SendMessageA(list, LVM_SETCOLUMNA, 0, reinterpret_cast<LPARAM>(&format));
        }
    }
    // The page has no owner yet, so this is position 0's table: the boxes offer the TQ5100's
    // readable addresses whatever model is chosen later.
    const HWND owner = Owner();
    const int model =
        owner ? static_cast<int>(SendDlgItemMessageA(owner, IDC_MAIN_MODEL, CB_GETCURSEL, 0, 0))
              : 0;
    const RegisterInfo* table = RegisterTableAt(model);
    for (int row = 1; row <= kCommandRows; ++row) {
        const int box = AddressBoxId(row);
        SendDlgItemMessageA(Dialog(), box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(""));
        for (int i = 0; i < kRegisterTableRows; ++i) {
            if (table[i].readable) {
                char text[8];
                std::snprintf(text, sizeof text, "%02X", static_cast<unsigned>(table[i].address));
                SendDlgItemMessageA(Dialog(), box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
            }
        }
        SendDlgItemMessageA(Dialog(), box, CB_SETCURSEL, 0, 0);
        SendDlgItemMessageA(Dialog(), DataBoxId(row), EM_LIMITTEXT, 2, 0);
    }
    Reset();
}

void RegistersPage::Reset() {
    const HWND owner = Owner();
    const int model =
        owner ? static_cast<int>(SendDlgItemMessageA(owner, IDC_MAIN_MODEL, CB_GETCURSEL, 0, 0))
              : 0;
    const RegisterInfo* table = RegisterTableAt(model);
    rows.assign(table, table + kRegisterTableRows);
    RebuildRegisterList();
}

void RegistersPage::OnShow() {
    SetFocus(GetDlgItem(Dialog(), IDC_REG_LIST));
    RefreshRegisterValues();
}

void RegistersPage::ReadReadableRows() {
    readFailed_.assign(rows.size(), false);
    DevicePort rtc(RtcHandle);
    for (size_t i = 0; i < rows.size(); ++i) {
        RegisterInfo& row = rows[i];
        if (row.readable) {
            uint32_t value = 0;
            readFailed_[i] = !rtc.Read(static_cast<uint8_t>(row.address), 8, &value);
            row.value = value;
        }
    }
}

void RegistersPage::ValueTexts(size_t row, char* hex, char* dec, size_t size) const {
    if (row < readFailed_.size() && readFailed_[row]) {
        std::snprintf(hex, size, "Error");
        std::snprintf(dec, size, "Error");
        return;
    }
    const unsigned value = static_cast<unsigned>(rows[row].value);
    std::snprintf(hex, size, "%02X", value);
    std::snprintf(dec, size, "%u", value);
}

void RegistersPage::RebuildRegisterList() {
    if (!BoardConnected) {
        ShowInformation("WARNING: Registers not refreshed, RTC not connected");
        return;
    }
    PageAction action(Owner());
    ReadReadableRows();
    HWND list = GetDlgItem(Dialog(), IDC_REG_LIST);
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        const RegisterInfo& row = rows[static_cast<size_t>(i)];
        LVITEMA item = {};
        item.mask = LVIF_PARAM;
        item.iItem = i;
        item.lParam = static_cast<LPARAM>(row.address);
        SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
        char text[16];
        std::snprintf(text, sizeof text, "%02X", static_cast<unsigned>(row.address));
        SetSubItemText(list, i, 0, text);
        SetSubItemText(list, i, 1, row.name);
        char hex[16];
        char dec[16];
        ValueTexts(static_cast<size_t>(i), hex, dec, sizeof hex);
        SetSubItemText(list, i, 2, hex);
        SetSubItemText(list, i, 3, dec);
        SetSubItemText(list, i, 4, AccessText(row));
    }
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    ReportRefresh(action);
}

void RegistersPage::RefreshRegisterValues() {
    PageAction action(Owner());
    ReadReadableRows();
    HWND list = GetDlgItem(Dialog(), IDC_REG_LIST);
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        char hex[16] = "na";
        char dec[16] = "na";
        if (BoardConnected) {
            ValueTexts(static_cast<size_t>(i), hex, dec, sizeof hex);
        }
        SetSubItemText(list, i, 2, hex);
        SetSubItemText(list, i, 3, dec);
    }
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    ReportRefresh(action);
}

void RegistersPage::ReportRefresh(PageAction& action) {
    // A failed read shows "Error" in its row; calling that "refreshed" would hide why. Without a
    // connection the rows show "na", so nothing is passed off.
    if (!BoardConnected) {
        ShowInformation("RTC Register values refreshed");
        return;
    }
    action.Report("RTC Register values refreshed", "RTC Register values not read, bus error");
}

std::string RegistersPage::BoxText(int id) const {
    HWND box = GetDlgItem(Dialog(), id);
    const int length = GetWindowTextLengthA(box);
    if (length <= 0) {
        return std::string();
    }
    std::string text(static_cast<size_t>(length) + 1, '\0');
    const int got = GetWindowTextA(box, &text[0], length + 1);
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return text;
}

void RegistersPage::SendSingleCommand(int row) {
    const std::string addressText = BoxText(AddressBoxId(row));
    const std::string dataText = BoxText(DataBoxId(row));
    uint8_t address = 0;
    uint8_t data = 0;
    // Anything but a plain hex byte in either box would reach the wrong register or write the
    // wrong value; nothing is sent for it.
    if (!ParseRegisterByte(addressText, &address) || !ParseRegisterByte(dataText, &data)) {
        ShowInformation("Data Invalid!");
        return;
    }
    if (!BoardConnected) {
        ShowInformation("WARNING: Command not sent, RTC not connected");
        return;
    }
    if (WritingMovesTheRtcSeconds(address) && !RequireRtcUndisturbed()) {
        return;
    }
    PageAction action(Owner());
    DevicePort rtc(RtcHandle);
    const int before = GuardBefore(rtc, address);
    // Only the write decides the message; the reads of the refresh have their fallback values.
    const bool written = rtc.Write8(address, data);
    RefreshRegisterValues();
    char text[96];
    if (written) {
        std::snprintf(text, sizeof text, "Single Command Sent: Addr=%x, Data=%x", address, data);
        ShowInformation(text);
    } else {
        std::snprintf(text, sizeof text, "Single Command not sent: Addr=%x, Data=%x, bus error",
                      address, data);
        action.ReportFailure(text);
    }
    // Recorded even when the write failed: it may have reached the chip.
    if (marks::WritesRtcTime(ChosenModelName(), address, data, before)) {
        std::snprintf(text, sizeof text, "reg write 0x%02X 0x%02X", address, data);
        NoteTimeWrite(Owner(), text);
    }
}

int RegistersPage::GuardBefore(RegisterPort& rtc, uint8_t address) {
    uint8_t value = 0;
    // Whether the guard was set before decides whether this write releases it.
    if (!marks::IsWriteGuardRegister(ChosenModelName(), address) || !rtc.Read8(address, &value)) {
        return -1;
    }
    return value;
}

void RegistersPage::SendCommandSequence() {
    if (!BoardConnected) {
        ShowInformation("WARNING: Sequence not sent, RTC not connected");
        return;
    }
    struct Command {
        int row;
        uint8_t address;
        uint8_t data;
    };
    std::vector<Command> commands;
    for (int row = 1; row <= kCommandRows; ++row) {
        const std::string addressText = BoxText(AddressBoxId(row));
        const std::string dataText = BoxText(DataBoxId(row));
        if (addressText.empty() || dataText.empty()) {
            continue;  // an incomplete row is simply not part of the sequence
        }
        Command command = {row, 0, 0};
        // A sequence sent with a row left out would leave the chip half-configured: all or nothing.
        if (!ParseRegisterByte(addressText, &command.address) ||
            !ParseRegisterByte(dataText, &command.data)) {
            char text[80];
            std::snprintf(text, sizeof text, "Data Invalid! Sequence not sent, row %d", row);
            ShowInformation(text);
            return;
        }
        commands.push_back(command);
    }
    for (const Command& command : commands) {
        // All or nothing, as for a row that does not parse.
        if (WritingMovesTheRtcSeconds(command.address) && !RequireRtcUndisturbed()) {
            return;
        }
    }
    // A failed write does not stop the rest; the message counts and names the failures.
    int failed = 0;
    int firstFailedRow = 0;
    PageAction action(Owner());
    DevicePort rtc(RtcHandle);
    std::string timeWrites;          // the commands that touch the time or its guard, for the store
    std::map<uint8_t, int> written;  // what this sequence wrote, the guard's "before" for the next
    for (const Command& command : commands) {
        const auto earlier = written.find(command.address);
        const int before =
            earlier != written.end() ? earlier->second : GuardBefore(rtc, command.address);
        if (!rtc.Write8(command.address, command.data)) {
            if (failed++ == 0) {
                firstFailedRow = command.row;
            }
        }
        written[command.address] = command.data;
        if (marks::WritesRtcTime(ChosenModelName(), command.address, command.data, before)) {
            char one[24];
            std::snprintf(one, sizeof one, "%s0x%02X 0x%02X", timeWrites.empty() ? "" : ", ",
                          command.address, command.data);
            timeWrites += one;
        }
    }
    RefreshRegisterValues();
    char text[96];
    if (failed == 0) {
        std::snprintf(text, sizeof text, "Commands sent in sequence: %d",
                      static_cast<int>(commands.size()));
        ShowInformation(text);
    } else {
        std::snprintf(text, sizeof text, "ERROR: %d of %d commands not sent, bus error (row %d)",
                      failed, static_cast<int>(commands.size()), firstFailedRow);
        ShowInformation(text);
    }
    if (!timeWrites.empty()) NoteTimeWrite(Owner(), "reg write " + timeWrites);
}

void RegistersPage::ClearCommands() {
    for (int row = 1; row <= kCommandRows; ++row) {
        SetDlgItemTextA(Dialog(), DataBoxId(row), "");
        SendDlgItemMessageA(Dialog(), AddressBoxId(row), CB_SETCURSEL, 0, 0);
    }
    ShowInformation("Commands cleared");
}

}  // namespace kalendo
