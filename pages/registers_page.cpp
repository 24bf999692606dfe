#include "pages/registers_page.h"

#include "resources/resource_ids.h"

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

}  // namespace

RegistersPage::RegistersPage() : TabPage(kTooltips, sizeof kTooltips / sizeof kTooltips[0]) {}

int RegistersPage::DialogId() const {
    return IDD_PAGE_REGISTERS;
}

INT_PTR RegistersPage::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    HandleCommonMessage(message, wParam, lParam);
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

}  // namespace kalendo
