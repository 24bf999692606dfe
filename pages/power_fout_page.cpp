#include "pages/power_fout_page.h"

#include <commctrl.h>
#include <shlobj.h>

#include <cstdio>
#include <string>

#include "app/check_hold.h"
#include "app/connection_state.h"
#include "app/page_action.h"
#include "bridge/bus_action.h"
#include "bridge/fout_gate.h"
#include "bridge/register_port.h"
#include "power/power_monitor_operations.h"
#include "rtc/fout_operations.h"
#include "pages/pc_clock.h"
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

const SpinGroup kSupplyGroup = {IDC_POWER_SUPPLY_EDIT, IDC_POWER_SUPPLY_UPDOWN,
                                IDC_POWER_SUPPLY_TRACKBAR};

constexpr UINT_PTR kMeasureTimer = 1028;
constexpr UINT kMeasureMs = 100;
constexpr UINT_PTR kSettleTimer = 1031;
constexpr UINT kSettleMs = 500;
constexpr int32_t kDefaultTenths = 35;

struct AveragingChoice {
    const char* text;
    uint32_t sampleCount;
};
const AveragingChoice kAveraging[] = {
    {"0.5 seconds", 5}, {"1.0 seconds", 10}, {"1.5 seconds", 15}, {"2.0 seconds", 20}};
constexpr int kDefaultAveraging = 1;
constexpr uint32_t kDefaultSampleCount = 10;

// Index i selects bits 3..2 of register 0x0D = i.
const char* const kFoutFrequencies[] = {"32.768KHz", "1024Hz", "1Hz"};

constexpr int kMeasuredValues[] = {IDC_POWER_VDD_VOLTAGE, IDC_POWER_VDD_CURRENT,
                                   IDC_POWER_BATTERY_CURRENT, IDC_POWER_TEMPERATURE};
constexpr int kBatteryRows[] = {IDC_POWER_BATTERY_VOLTAGE_LABEL, IDC_POWER_BATTERY_VOLTAGE,
                                IDC_POWER_BATTERY_CURRENT_LABEL, IDC_POWER_BATTERY_CURRENT};

void SetFormatted(HWND dialog, int id, const char* format, double value) {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    SetDlgItemTextA(dialog, id, text);
}

// The user's Documents folder, created if need be; empty when the system names none.
std::string UserDocumentsFolder() {
    char path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_PERSONAL | CSIDL_FLAG_CREATE, nullptr, 0, path))) {
        return std::string();
    }
    return path;
}

// The first seven characters of a value field, as the log file takes them.
std::string FieldText(HWND dialog, int id) {
    char text[kLogFieldWidth + 1] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

LocalTime Now() {
    SYSTEMTIME now;
    PcLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

}  // namespace

PowerFoutPage::PowerFoutPage() : TabPage(kTooltips, sizeof kTooltips / sizeof kTooltips[0]) {}

int PowerFoutPage::DialogId() const {
    return IDD_PAGE_POWER_FOUT;
}

void PowerFoutPage::InitDialog() {
    HWND dialog = Dialog();
    SendDlgItemMessageA(dialog, IDC_POWER_SUPPLY_EDIT, EM_SETLIMITTEXT, 4, 0);
    SendDlgItemMessageA(dialog, IDC_POWER_SUPPLY_UPDOWN, UDM_SETRANGE32, kMinSupplyTenths,
                        kMaxSupplyTenths);
    SendDlgItemMessageA(dialog, IDC_POWER_SUPPLY_TRACKBAR, TBM_SETRANGE, TRUE,
                        MAKELPARAM(kMinSupplyTenths, kMaxSupplyTenths));
    for (const AveragingChoice& choice : kAveraging) {
        SendDlgItemMessageA(dialog, IDC_POWER_AVERAGING, CB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(choice.text));
    }
    for (const char* frequency : kFoutFrequencies) {
        SendDlgItemMessageA(dialog, IDC_POWER_FOUT_FREQ, CB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(frequency));
    }
    Reset();
    SetTimer(dialog, kMeasureTimer, kMeasureMs, nullptr);
}

void PowerFoutPage::Reset() {
    HWND dialog = Dialog();
    logger_.Reset();
    SetDlgItemTextA(dialog, IDC_POWER_LOGGING, "Start Logging");

    // A settle still pending belongs to the setting the reset replaces: left running, it would
    // apply (or warn about) a value the controls no longer show.
    KillTimer(dialog, kSettleTimer);
    settlePending_ = false;
    lastSeenTenths_ = -1;
    appliedTenths_ = kDefaultTenths;
    ShowSupplySetting(kDefaultTenths);

    SendDlgItemMessageA(dialog, IDC_POWER_AVERAGING, CB_SETCURSEL, kDefaultAveraging, 0);
    monitor_.sampleCount = kDefaultSampleCount;
    // Readings taken before the reset (another board, another connection) start no average.
    monitor_.sampleIndex = 0;
    cycleFailed_ = false;

    for (int id : kMeasuredValues) {
        SetDlgItemTextA(dialog, id, "Unconnected");
    }
    ShowBatteryRows();

    FoutEnabled = false;
    SetDlgItemTextA(dialog, IDC_POWER_FOUT_TOGGLE, "Enable FOUT");
    foutIndex_ = 0;
    SendDlgItemMessageA(dialog, IDC_POWER_FOUT_FREQ, CB_SETCURSEL, foutIndex_, 0);
}

void PowerFoutPage::OnShow() {
    pageVisible_ = true;
    monitor_.sampleIndex = 0;
    SetFocus(GetDlgItem(Dialog(), IDC_POWER_SUPPLY_EDIT));
    ShowBatteryRows();
}

void PowerFoutPage::ShowBatteryRows() {
    const int show = Tq5200Selected == 1 ? SW_HIDE : SW_SHOW;
    for (int id : kBatteryRows) {
        ShowWindow(GetDlgItem(Dialog(), id), show);
    }
}

void PowerFoutPage::ShowSupplySetting() {
    SetFormatted(Dialog(), IDC_POWER_SUPPLY_EDIT, "%.1f", supplyTenths_[0] / 10.0);
}

void PowerFoutPage::ShowSupplySetting(int32_t tenths) {
    supplyTenths_[0] = tenths;
    SendDlgItemMessageA(Dialog(), IDC_POWER_SUPPLY_UPDOWN, UDM_SETPOS32, 0, tenths);
    SendDlgItemMessageA(Dialog(), IDC_POWER_SUPPLY_TRACKBAR, TBM_SETPOS, TRUE, tenths);
    ShowSupplySetting();
}

INT_PTR PowerFoutPage::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    HandleCommonMessage(message, wParam, lParam);
    switch (message) {
        case WM_INITDIALOG:
            InitDialog();
            return TRUE;
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            const int code = HIWORD(wParam);
            if (id == IDC_POWER_LOGGING && code == BN_CLICKED) {
                ToggleLogging();
            } else if (id == IDC_POWER_FOUT_FREQ && code == CBN_SELCHANGE) {
                SetFoutFrequency();
            } else if (id == IDC_POWER_FOUT_TOGGLE && code == BN_CLICKED) {
                ToggleFout();
            } else if (id == IDC_POWER_AVERAGING && code == CBN_SELCHANGE) {
                SetAveraging();
            }
            return FALSE;
        }
        case WM_TIMER:
            if (wParam == kMeasureTimer) {
                if (CheckHoldsTheBoard()) {
                    return FALSE;  // the check measures the supply itself; no reads in its windows
                }
                BusAction hold(kPeriodicTickBusWaitMs);
                MeasureTick();
            } else if (wParam == kSettleTimer) {
                if (CheckHoldsTheBoard()) {
                    DropPendingSupplyChange();
                    return FALSE;
                }
                BusAction hold(kUserActionBusWaitMs);  // the end of the user's supply change
                SettleTick();
            }
            return FALSE;
        case WM_HSCROLL:
            if (TrackTrackbar(kSupplyGroup, supplyTenths_)) {
                SendDlgItemMessageA(Dialog(), IDC_POWER_SUPPLY_UPDOWN, UDM_SETPOS32, 0,
                                    supplyTenths_[0]);
                ShowSupplySetting();
                StartSettling();
            }
            return TRUE;
        case WM_VSCROLL:
            if (TrackUpDown(kSupplyGroup, supplyTenths_)) {
                ShowSupplySetting();
                StartSettling();
            }
            return TRUE;
        default:
            return FALSE;
    }
}

// --- measurements -------------------------------------------------------------------------------

void PowerFoutPage::SetAveraging() {
    const auto index =
        static_cast<int>(SendDlgItemMessageA(Dialog(), IDC_POWER_AVERAGING, CB_GETCURSEL, 0, 0));
    const int choices = static_cast<int>(sizeof kAveraging / sizeof kAveraging[0]);
    // A cycle already past the new count averages at the next tick; the average only ever reads
    // the first sampleCount slots, so the readings taken so far still count.
    monitor_.sampleCount =
        index >= 0 && index < choices ? kAveraging[index].sampleCount : kDefaultSampleCount;
}

void PowerFoutPage::MeasureTick() {
    HWND dialog = Dialog();
    if (!BoardConnected) {
        for (int id : kMeasuredValues) {
            SetDlgItemTextA(dialog, id, "Unconnected");
        }
        SetDlgItemTextA(dialog, IDC_POWER_BATTERY_VOLTAGE, "Unconnected");
        return;
    }
    if (!pageVisible_ && !logger_.logging()) {
        return;
    }
    DevicePort powerMonitor(PowerMonitorHandle);
    if (!monitor_.SampleChannels(powerMonitor)) {
        if (BusBusyInAction()) {
            return;  // the bus was busy: every value stays as it was, the next cycle tries again
        }
        cycleFailed_ = true;
    }
    if (monitor_.sampleIndex < monitor_.sampleCount) {
        ++monitor_.sampleIndex;
        return;
    }
    monitor_.sampleIndex = 0;
    if (cycleFailed_) {
        // Fallback codes averaged would read as a measurement (0xFFFF is 16.4 V): the values say
        // Error instead, and the log gets no record the monitor did not give.
        cycleFailed_ = false;
        for (int id : kMeasuredValues) {
            SetDlgItemTextA(dialog, id, "Error");
        }
        SetDlgItemTextA(dialog, IDC_POWER_BATTERY_VOLTAGE, "Error");
        ShowInformation("ERROR: Power measurements not read, bus error");
        return;
    }
    const PowerReadings readings = monitor_.AverageChannels(BatteryInUse);
    SetFormatted(dialog, IDC_POWER_VDD_VOLTAGE, "%2.1f", readings.vddVoltage);
    SetFormatted(dialog, IDC_POWER_VDD_CURRENT, "%2.3f", readings.vddCurrent);
    SetFormatted(dialog, IDC_POWER_BATTERY_VOLTAGE, "%2.1f", readings.batteryVoltage);
    SetFormatted(dialog, IDC_POWER_BATTERY_CURRENT, "%2.3f", readings.batteryCurrent);
    SetFormatted(dialog, IDC_POWER_TEMPERATURE, "%2.1f", readings.temperature);
    if (logger_.logging()) {
        const LogWriteResult result = logger_.AppendLogRecord(ShownRecord());
        if (result != LogWriteResult::Written) {
            ReportLogFailure(result, logger_.logFileName());  // the next cycle tries again
        }
    }
}

// --- supply setting -----------------------------------------------------------------------------

void PowerFoutPage::StartSettling() {
    if (settlePending_) {
        return;
    }
    settlePending_ = true;
    lastSeenTenths_ = supplyTenths_[0];
    SetTimer(Dialog(), kSettleTimer, kSettleMs, nullptr);
    ShowInformation("");
}

void PowerFoutPage::SettleTick() {
    if (!settlePending_) {
        KillTimer(Dialog(), kSettleTimer);  // a tick from before a reset applies nothing
        return;
    }
    if (supplyTenths_[0] != lastSeenTenths_) {
        lastSeenTenths_ = supplyTenths_[0];
        return;
    }
    ApplySetting();
    KillTimer(Dialog(), kSettleTimer);
    settlePending_ = false;
    lastSeenTenths_ = -1;
}

// A supply change still settling when a whole check began would switch the output off in the
// middle of its sweep, and after it would undo the supply the check put back: it is dropped, and
// the controls show the supply as it was.
void PowerFoutPage::DropPendingSupplyChange() {
    KillTimer(Dialog(), kSettleTimer);
    if (!settlePending_) {
        return;
    }
    settlePending_ = false;
    lastSeenTenths_ = -1;
    ShowSupplySetting(appliedTenths_);
    ShowInformation("WARNING: Voltage not changed, the Data Sheet Check sets the supply");
}

void PowerFoutPage::ApplySetting() {
    if (!BoardConnected) {
        ShowInformation("WARNING: Voltage not changed, RTC not connected");
        return;
    }
    char success[48];
    std::snprintf(success, sizeof success, "Voltage changed to %02.1f", supplyTenths_[0] / 10.0);
    PageAction action(Owner());
    DevicePort powerMonitor(PowerMonitorHandle);
    ApplySupplyVoltage(powerMonitor, supplyTenths_[0]);
    if (action.Report(success, "Voltage not changed")) {
        appliedTenths_ = supplyTenths_[0];
        char text[8];
        GetDlgItemTextA(Dialog(), IDC_POWER_SUPPLY_EDIT, text, sizeof text);
        SetDlgItemTextA(Dialog(), IDC_POWER_VDD_VOLTAGE, text);
        return;
    }
    // The monitor kept the supply it had: the controls go back to it.
    ShowSupplySetting(appliedTenths_);
}

// --- FOUT
// -----------------------------------------------------------------------------------------

void PowerFoutPage::SetFoutFrequency() {
    if (!BoardConnected) {
        ShowInformation("WARNING: FOUT Frequency Clock not set, RTC not connected");
        return;
    }
    if (!RequireRtcUndisturbed()) {
        SendDlgItemMessageA(Dialog(), IDC_POWER_FOUT_FREQ, CB_SETCURSEL, foutIndex_, 0);
        return;
    }
    const auto index = static_cast<uint32_t>(
        SendDlgItemMessageA(Dialog(), IDC_POWER_FOUT_FREQ, CB_GETCURSEL, 0, 0));
    PageAction action(Owner());
    DevicePort rtc(RtcHandle);
    const FoutFrequencyResult result = kalendo::SetFoutFrequency(rtc, static_cast<uint8_t>(index));
    if (result == FoutFrequencyResult::NotRead) {
        // Writing back a fallback byte would change the register's other bits.
        action.ReportFailure("FOUT Frequency Clock not set, register 0x0D not read");
        SendDlgItemMessageA(Dialog(), IDC_POWER_FOUT_FREQ, CB_SETCURSEL, foutIndex_, 0);
        return;
    }
    if (action.Report("FOUT Frequency updated", "FOUT Frequency Clock not set")) {
        foutIndex_ = static_cast<int>(index);
        return;
    }
    // The chip kept the frequency it had: the list goes back to it.
    SendDlgItemMessageA(Dialog(), IDC_POWER_FOUT_FREQ, CB_SETCURSEL, foutIndex_, 0);
}

void PowerFoutPage::ToggleFout() {
    if (!BoardConnected) {
        ShowInformation("WARNING: RTC not connected");
        return;
    }
    if (!RequireRtcUndisturbed()) {
        return;
    }
    const bool enable = !FoutEnabled;
    const char* failure = enable ? "FOUT not enabled" : "FOUT not disabled";
    PageAction action(Owner());
    // The lamp and the button follow the pin: when it was not set, both keep the old state.
    if (!SetFoutGate(enable)) {
        action.ReportFailure(failure);
        return;
    }
    if (!action.Report(enable ? "FOUT Enabled" : "FOUT Disabled", failure)) {
        return;
    }
    FoutEnabled = enable;
    SetDlgItemTextA(Dialog(), IDC_POWER_FOUT_TOGGLE, enable ? "Disable FOUT" : "Enable FOUT");
    FoutIndicatorStale = true;
}

// --- data logging -------------------------------------------------------------------------------

DataLogRecord PowerFoutPage::ShownRecord() const {
    HWND dialog = Dialog();
    return {FieldText(dialog, IDC_POWER_VDD_VOLTAGE), FieldText(dialog, IDC_POWER_VDD_CURRENT),
            FieldText(dialog, IDC_POWER_BATTERY_VOLTAGE),
            FieldText(dialog, IDC_POWER_BATTERY_CURRENT), FieldText(dialog, IDC_POWER_TEMPERATURE)};
}

void PowerFoutPage::ReportLogFailure(LogWriteResult result, const std::string& fileName) {
    const char* what = "cannot write to ";
    if (result == LogWriteResult::CannotCreate) {
        what = "cannot create ";
    } else if (result == LogWriteResult::CannotOpen) {
        what = "cannot open ";
    }
    const std::string text = std::string("ERROR: ") + what + fileName;
    ShowInformation(text.c_str());
}

void PowerFoutPage::ToggleLogging() {
    if (!BoardConnected) {
        ShowInformation("WARNING: Logging not possible, RTC not connected");
        return;
    }
    if (!logger_.logging()) {
        const LocalTime start = Now();
        LogWriteResult result = logger_.StartLogging(start, Tq5200Selected == 1, ShownRecord());
        // An installed copy starts in its Program Files folder, where a standard user cannot
        // write: the log then goes to the user's Documents folder, and the line says so.
        const std::string documents = UserDocumentsFolder();
        const bool elsewhere = result == LogWriteResult::CannotCreate && !documents.empty();
        if (elsewhere) {
            result = logger_.StartLogging(start, Tq5200Selected == 1, ShownRecord(), documents);
        }
        if (result != LogWriteResult::Written) {
            // A file that was created but not written is named as it is on disk.
            ReportLogFailure(result, result == LogWriteResult::WriteFailed
                                         ? logger_.logFileName()
                                         : DataLogFileName(start));
            return;
        }
        SetDlgItemTextA(Dialog(), IDC_POWER_LOGGING, "Stop Logging");
        ShowInformation(elsewhere ? ("Data Logging started in " + documents).c_str()
                                  : "Data Logging started");
        return;
    }
    const LogWriteResult result = logger_.StopLogging(ShownRecord());
    SetDlgItemTextA(Dialog(), IDC_POWER_LOGGING, "Start Logging");
    if (result != LogWriteResult::Written) {
        ReportLogFailure(result, logger_.logFileName());
        return;
    }
    ShowInformation("Data Logging stopped");
}

}  // namespace kalendo
