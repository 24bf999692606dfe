#include "pages/timer_page.h"

#include "resources/resource_ids.h"

namespace kalendo {

namespace {

const TooltipRow kTooltips[] = {
    {IDC_TIMER_INT_TOGGLE, "Click to enable/disable the RTC Timer Interrupt"},
    {IDC_TIMER_INT_LABEL, "Reports whether the RTC INT pin has been triggered"},
    {IDC_TIMER_INT_TEXT, "Reports whether the RTC INT pin has been triggered"},
    {IDC_TIMER_SOURCE, "Select the frequency for the RTC Timer"},
    {IDC_TIMER_COUNTER_EDIT, "Counter value for the RTC Timer"},
    {IDC_TIMER_COUNTER_UPDOWN, "Set the counter value for the RTC Timer"},
    {IDC_TIMER_COUNTER_TRACKBAR, "Set the counter value for the RTC Timer"},
    {IDC_TIMER_SINGLE, "Click to start/stop the RTC Timer"},
    {IDC_TIMER_PICTURE, "Indicates whether the Timer is running"},
};

}  // namespace

TimerPage::TimerPage() : TabPage(kTooltips, sizeof kTooltips / sizeof kTooltips[0]) {}

int TimerPage::DialogId() const {
    return IDD_PAGE_TIMER;
}

INT_PTR TimerPage::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    HandleCommonMessage(message, wParam, lParam);
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

}  // namespace kalendo
