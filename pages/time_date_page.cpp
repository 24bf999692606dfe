#include "pages/time_date_page.h"

#include "resources/resource_ids.h"

namespace kalendo {

namespace {

const TooltipRow kTooltips[] = {
    {IDC_TD_TIME_PICKER, "Select the new Time"},
    {IDC_TD_DATE_PICKER, "Select the new Date"},
    {IDC_TD_SET_TIME, "Click to write the new Time to the RTC"},
    {IDC_TD_SET_DATE, "Click to write the new Date to the RTC"},
    {IDC_TD_AMPM, "Click to display time in AM/PM format"},
    {IDC_TD_24HR, "Click to display time in 24hr format"},
    {IDC_TD_PC_TIME, "Displays current PC system time"},
    {IDC_TD_PC_DATE, "Displays current PC system date"},
    {IDC_TD_SYNC, "Click to synchronize RTC to current system time/date"},
};

}  // namespace

TimeDatePage::TimeDatePage() : TabPage(kTooltips, sizeof kTooltips / sizeof kTooltips[0]) {}

int TimeDatePage::DialogId() const {
    return IDD_PAGE_TIME_DATE;
}

INT_PTR TimeDatePage::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    HandleCommonMessage(message, wParam, lParam);
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

}  // namespace kalendo
