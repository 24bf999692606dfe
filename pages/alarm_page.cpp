#include "pages/alarm_page.h"

#include "resources/resource_ids.h"

namespace kalendo {

namespace {

const TooltipRow kTooltips[] = {
    {IDC_ALARM_ENABLED_LABEL, "Displays whether the RTC Alarm function is enabled or disabled"},
    {IDC_ALARM_ENABLED_TEXT, "Displays whether the RTC Alarm function is enabled or disabled"},
    {IDC_ALARM_TRIGGERED_LABEL, "Displays whether the RTC Alarm has been triggered"},
    {IDC_ALARM_TRIGGERED_TEXT, "Displays whether the RTC Alarm has been triggered"},
    {IDC_ALARM_TIME_TEXT_LABEL, "Shows the current RTC Alarm Time"},
    {IDC_ALARM_TIME_TEXT, "Shows the current RTC Alarm Time"},
    {IDC_ALARM_DATE_TEXT_LABEL, "Shows the current RTC Alarm Date"},
    {IDC_ALARM_DATE_TEXT, "Shows the current RTC Alarm Date"},
    {IDC_ALARM_TIME_PICKER, "Select the Alarm Time for the RTC"},
    {IDC_ALARM_SET_TIME, "Click to write the new Alarm Time to the RTC"},
    {IDC_ALARM_DAY_PICKER, "Select the Alarm Date for the RTC"},
    {IDC_ALARM_SET_DATE, "Click to write the new Alarm Date to the RTC"},
    {IDC_ALARM_TOGGLE, "Click to enable/disable the RTC Alarm using the current Time/Date"},
    {IDC_ALARM_PICTURE, "Indicates whether the Alarm has tiggered"},
};

}  // namespace

AlarmPage::AlarmPage() : TabPage(kTooltips, sizeof kTooltips / sizeof kTooltips[0]) {}

int AlarmPage::DialogId() const {
    return IDD_PAGE_ALARM;
}

INT_PTR AlarmPage::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    HandleCommonMessage(message, wParam, lParam);
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

}  // namespace kalendo
