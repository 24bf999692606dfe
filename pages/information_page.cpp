#include "pages/information_page.h"

#include "resources/resource_ids.h"
#include "rtc/model_file.h"
#include "rtc/model_info.h"

namespace kalendo {

namespace {

const TooltipRow kTooltips[] = {
    {IDC_INFO_MODEL_LABEL, "Model Name"},
    {IDC_INFO_INTERFACE_LABEL, "Host Interface type"},
    {IDC_INFO_TOLERANCE_LABEL, "Frequency Tolerance, in ppm"},
    {IDC_INFO_DEVIATION_LABEL, "Monthly Allowable deviation, in seconds"},
    {IDC_INFO_TEMP_RANGE_LABEL,
     "Operating Temperature Range, in \xB0"
     "C"},
    {IDC_INFO_CURRENT_LABEL, "Typical Current Consumption @3V"},
    {IDC_INFO_VCLK_LABEL, "VCLK, in Volts"},
    {IDC_INFO_SUPPLY_LABEL, "Supply Voltage, in Volts"},
    {IDC_INFO_CALENDAR_LABEL, "Date Format"},
    {IDC_INFO_TIME_FORMAT_LABEL, "Time Format"},
    {IDC_INFO_PACKAGE_TYPE_LABEL, "Package Type"},
    {IDC_INFO_PACKAGE_SIZE_LABEL, "Package Size, in mm"},
    {IDC_INFO_MODEL, "Model Name"},
    {IDC_INFO_INTERFACE, "Host Interface type"},
    {IDC_INFO_TOLERANCE, "Frequency Tolerance, in ppm"},
    {IDC_INFO_DEVIATION, "Monthly Allowable deviation, in seconds"},
    {IDC_INFO_TEMP_RANGE,
     "Operating Temperature Range, in \xB0"
     "C"},
    {IDC_INFO_CURRENT, "Typical Current Consumption @3V"},
    {IDC_INFO_VCLK, "VCLK, in Volts"},
    {IDC_INFO_SUPPLY, "Supply Voltage, in Volts"},
    {IDC_INFO_CALENDAR, "Date Format"},
    {IDC_INFO_TIME_FORMAT, "Time Format"},
    {IDC_INFO_PACKAGE_TYPE, "Package Type"},
    {IDC_INFO_PACKAGE_SIZE, "Package Size, in mm"},
};

// Value controls in the field order of a model record.
constexpr int kValueControls[kModelFieldCount] = {
    IDC_INFO_MODEL,      IDC_INFO_INTERFACE,   IDC_INFO_TOLERANCE,    IDC_INFO_DEVIATION,
    IDC_INFO_TEMP_RANGE, IDC_INFO_CURRENT,     IDC_INFO_VCLK,         IDC_INFO_SUPPLY,
    IDC_INFO_CALENDAR,   IDC_INFO_TIME_FORMAT, IDC_INFO_PACKAGE_TYPE, IDC_INFO_PACKAGE_SIZE,
};

}  // namespace

InformationPage::InformationPage() : TabPage(kTooltips, sizeof kTooltips / sizeof kTooltips[0]) {}

int InformationPage::DialogId() const {
    return IDD_PAGE_INFORMATION;
}

void InformationPage::Reset() {
    ShowModelInfo();
}

void InformationPage::OnShow() {
    Reset();
    SetFocus(GetDlgItem(Dialog(), IDC_INFO_MODEL_LABEL));
}

void InformationPage::ShowModelInfo() {
    // Without an owner the page has no model box to ask; record 0 is the model chosen at start.
    const LRESULT choice =
        Owner() ? SendDlgItemMessageA(Owner(), IDC_MAIN_MODEL, CB_GETCURSEL, 0, 0) : 0;
    if (choice < 0 || choice >= kModelTableSize) {
        return;
    }
    const ModelInfo& record = ModelTable()[static_cast<size_t>(choice)];
    for (int field = 0; field < kModelFieldCount; ++field) {
        SetDlgItemTextA(Dialog(), kValueControls[field], record.fields[field].c_str());
    }
}

INT_PTR InformationPage::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    HandleCommonMessage(message, wParam, lParam);
    if (message != WM_INITDIALOG) {
        return 0;
    }
    ReadModelInfo();
    Reset();
    return 1;
}

}  // namespace kalendo
