#include "pages/power_fout_page.h"

#include "resources/resource_ids.h"

namespace kalendo {

namespace {

const TooltipRow kTooltips[] = {
    {IDC_POWER_SUPPLY_EDIT, "Voltage supplied to the RTC"},
    {IDC_POWER_SUPPLY_UPDOWN, "Set the voltage supplied to the RTC"},
    {IDC_POWER_SUPPLY_TRACKBAR, "Set the voltage supplied to the RTC"},
    {IDC_POWER_FOUT_FREQ, "Select the FOUT frequency"},
    {IDC_POWER_AVERAGING, "Select the duration of data averaging"},
    {IDC_POWER_VDD_VOLTAGE, "Voltage supplied to the RTC"},
    {IDC_POWER_VDD_CURRENT, "Current supplied to the RTC"},
    {IDC_POWER_BATTERY_CURRENT, "Current supplied by the battery"},
    {IDC_POWER_TEMPERATURE, "Temperature of the Power Module"},
    {IDC_POWER_BATTERY_VOLTAGE, "Voltage supplied by the battery"},
    {IDC_POWER_LOGGING, "Click to start/stop Data Logging"},
    {IDC_POWER_FOUT_FREQ, "Select the FOUT frequency"},
    {IDC_POWER_FOUT_TOGGLE, "Enable/disable the FOUT output"},
};

}  // namespace

PowerFoutPage::PowerFoutPage() : TabPage(kTooltips, sizeof kTooltips / sizeof kTooltips[0]) {}

int PowerFoutPage::DialogId() const {
    return IDD_PAGE_POWER_FOUT;
}

INT_PTR PowerFoutPage::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    HandleCommonMessage(message, wParam, lParam);
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

}  // namespace kalendo
