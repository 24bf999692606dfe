// The Registers tab: lists the chosen model's registers with their values and writes
// hand-entered register/value pairs, one row at a time or all rows in order.
#pragma once

#include "bridge/register_port.h"

#include <string>
#include <vector>

#include "app/page_action.h"
#include "app/tab_page.h"
#include "rtc/register_tables.h"

namespace kalendo {

constexpr int kCommandRows = 10;

class RegistersPage : public TabPage {
  public:
    RegistersPage();

    void Reserved() override {}
    void Reset() override;
    void OnShow() override;
    int KindCode() const override { return 5; }
    int DialogId() const override;
    const char* Caption() const override { return "Registers"; }
    const char* TabTip() const override { return "RTC Registers"; }
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    // Send button id of command row 1..10 (row 1 stands apart from the others).
    static int SendButtonId(int row);

  private:
    void InitDialog();
    void RebuildRegisterList();
    void ReadReadableRows();
    // The value cells of one row: hex and decimal, or "Error" for a read that failed.
    void ValueTexts(size_t row, char* hex, char* dec, size_t size) const;
    void RefreshRegisterValues();
    void ReportRefresh(PageAction& action);
    void SendSingleCommand(int row);
    // The write guard's value before a write to `address`; -1 for other registers or unread.
    static int GuardBefore(RegisterPort& rtc, uint8_t address);
    void SendCommandSequence();
    void ClearCommands();
    std::string BoxText(int id) const;

    std::vector<RegisterInfo> rows;
    std::vector<bool> readFailed_;  // per row: its last read failed, so its value is no value
};

}  // namespace kalendo
