// Connect and Disconnect, and the one-second status tick: the RTC's time, date and temperature,
// the three lamps and the check that the board is still there.
#include <cstdint>

#include "app/application.h"
#include "app/bus_action_report.h"
#include "app/connection_state.h"
#include "app/status_text.h"
#include "bridge/board_discovery.h"
#include "bridge/bus_action.h"
#include "bridge/register_access.h"
#include "resources/resource_ids.h"
#include "rtc/rtc_registers.h"
#include "rtc/status_texts.h"
#include "rtc/twelve_hour_display.h"

namespace kalendo {

namespace {

constexpr const char* kPowerMonitorName = "ISL28023";
// Both RTC models answer at one address and are reached through this one device entry.
constexpr const char* kRtcDeviceName = "Novar TQ5100";

// The power monitor's identification block starts with a length of 8 and "ISL".
constexpr uint8_t kPowerMonitorIdRegister = 0xAD;
constexpr uint32_t kPowerMonitorIdPrefix = 0x0849534C;

struct RegisterWrite {
    uint8_t reg;
    uint32_t value;
    uint32_t width;
};

// Steps 4-6 set the RTC supply to 3.5 V (that row of the supply level table).
constexpr RegisterWrite kPowerMonitorInit[] = {
    {0x38, 0x015E, 16}, {0xD2, 0x1F, 8}, {0xD7, 0x01, 8},
    {0xE4, 0x00, 8},    {0xE3, 0xBE, 8}, {0xE4, 0x3F, 8},
};
constexpr RegisterWrite kTq5100Init[] = {
    {0x0D, 0x42, 8}, {0x0F, 0x40, 8}, {0x0E, 0x00, 8}, {0x18, 0x01, 8}};
// The TQ5200 writes its flag register twice and leaves 0x0F alone.
constexpr RegisterWrite kTq5200Init[] = {{0x0D, 0x42, 8}, {0x0E, 0x00, 8}, {0x0E, 0x40, 8}};

template <size_t N>
void WriteAll(const RegisterWrite (&writes)[N]) {
    for (const RegisterWrite& w : writes) {
        WriteRegisterChecked(w.reg, w.value, w.width);
    }
}

// Takes the sticky status after a refresh step's first read and clears it for the next step.
int32_t TakeBusStatus() {
    const int32_t status = Bridge().BusStatus;
    Bridge().BusStatus = kBusOk;
    return status;
}

// The last bitmap each lamp routine loaded, deleted before it loads the next one.
HBITMAP connectBoardLamp = nullptr;
HBITMAP disconnectBoardLamp = nullptr;
HBITMAP batteryLamp = nullptr;
HBITMAP foutLamp = nullptr;

}  // namespace

void Application::SetLamp(HBITMAP* lastLoaded, int controlId, int bitmapId) {
    if (*lastLoaded) {
        DeleteObject(*lastLoaded);
    }
    *lastLoaded =
        LoadBitmapA(instance_ ? instance_ : GetModuleHandleA(nullptr), MAKEINTRESOURCEA(bitmapId));
    if (!*lastLoaded) {
        ShowInformation(mainWindow_, "Can't load Bitmap");
    }
    SendDlgItemMessageA(mainWindow_, controlId, STM_SETIMAGE, IMAGE_BITMAP,
                        reinterpret_cast<LPARAM>(*lastLoaded));
}

std::string Application::ConnectBoard() {
    if (connectBoardLamp) {
        DeleteObject(connectBoardLamp);
        connectBoardLamp = nullptr;
    }
    BusAction hold(kUserActionBusWaitMs);
    // A board plugged in after the last search is found only by a new search.
    if (Bridge().initialised && Bridge().boardCount == 0) {
        DisconnectBridge();
    }
    ConnectBridge();
    ListBoardDevices();
    pages_.ResetAll();
    BusActionReport report;
    if (hold.BusBusy()) {
        return FailConnect("ERROR: Bus busy, board not connected");
    }
    BoardHandle = FirstDeviceOfBoard(0);
    PowerMonitorHandle = FindDeviceByName(BoardHandle, kPowerMonitorName);
    if (PowerMonitorHandle == 0) {
        if (Bridge().devicesOpenElsewhere > 0) {
            return FailConnect("ERROR: Board in use by another program");
        }
        return ShowConnectError("ERROR: Unable to locate ISL28023 device");
    }
    SelectDevice(PowerMonitorHandle);
    OpenSelectedDevice();
    WriteAll(kPowerMonitorInit);
    const bool powerMonitorReady = report.Collect();
    RtcHandle = FindDeviceByName(BoardHandle, kRtcDeviceName);
    if (RtcHandle == 0) {
        return ShowConnectError("ERROR: Unable to locate RTC device");
    }
    SelectDevice(RtcHandle);
    OpenSelectedDevice();
    // The RTC's own report covers its writes only; the power monitor's failure, if any, is in
    // the board's report at the end.
    BusActionReport rtcReport;
    if (Tq5200Selected == 0) {
        WriteAll(kTq5100Init);
    } else {
        WriteAll(kTq5200Init);
    }
    const bool rtcReady =
        rtcReport.Report(mainWindow_, "Connected to RTC", "RTC not initialised, bus error");
    if (hold.BusBusy()) {
        return FailConnect("ERROR: Bus busy, board not connected");
    }
    SetLamp(&connectBoardLamp, IDC_MAIN_BOARD_LAMP, IDB_LAMP_GREEN);
    SetDlgItemTextA(mainWindow_, IDC_MAIN_CONNECT, "Disconnect");
    BoardConnected = true;
    SetDlgItemTextA(mainWindow_, IDC_MAIN_BOARD_TEXT, "Board Connected");
    // The refresh steps consume the status themselves; the set-up's result is already taken.
    RefreshTime();
    RefreshDate();
    RefreshTemperature();
    Bridge().BusStatus = kBusOk;
    SetBridgeOutputPin(0);
    FoutEnabled = false;
    if (hold.BusBusy()) {
        return FailConnect("ERROR: Bus busy, board not connected");
    }
    if (!powerMonitorReady || !rtcReady || report.Failed()) {
        // A board whose set-up did not reach it is not connected: the window must not offer
        // "Disconnect" beside a chip in an unknown state.
        return FailConnect("ERROR: Board not initialised, bus error");
    }
    ShowInformation(mainWindow_, "Board Connected");
    return std::string();
}

std::string Application::ShowConnectError(const char* text) {
    ShowInformation(mainWindow_, text);
    return text;
}

std::string Application::FailConnect(const char* text) {
    ShowDisconnected();
    RefreshTime();
    RefreshDate();
    RefreshTemperature();
    return ShowConnectError(text);
}

void Application::DisconnectBoard() {
    if (BoardConnected) {
        // The lamp is about to say "FOUT Disabled": the clock output stops with it.
        BusAction hold(kUserActionBusWaitMs);
        SetBridgeOutputPin(0);
        Bridge().BusStatus = kBusOk;
    }
    ShowDisconnected();
}

void Application::ShowDisconnected() {
    SetLamp(&disconnectBoardLamp, IDC_MAIN_BOARD_LAMP, IDB_LAMP_RED);
    SetDlgItemTextA(mainWindow_, IDC_MAIN_CONNECT, "Connect");
    BoardConnected = false;
    SetDlgItemTextA(mainWindow_, IDC_MAIN_BOARD_TEXT, "Board Disconnected");
    ShowInformation(mainWindow_, "Board Disconnected");
    FoutIndicatorStale = false;
    TwelveHourDisplay = 1;
    FoutEnabled = false;
    BatteryInUse = false;
    RefreshFoutIndicator();
    BoardHandle = 0;
    PowerMonitorHandle = 0;
    RtcHandle = 0;
}

void Application::ListBoardDevices() {
    const BridgeState& bridge = Bridge();
    for (uint32_t b = 0; b < bridge.boardCount && b < kMaxBoards; ++b) {
        const BoardEntry* board = bridge.boards[b];
        if (!board) {
            continue;
        }
        for (uint32_t d = 0; d < board->deviceCount; ++d) {
            const DeviceHandle handle = static_cast<DeviceHandle>(((b + 1) << 8) | (d + 1));
            (void)handle;  // walked for the report only; nothing is stored
        }
    }
    ShowInformation(mainWindow_, "Iterated connections and their devices");
}

void Application::StatusTick() {
    BusAction hold(kPeriodicTickBusWaitMs);
    const std::string time = TimeText();
    const std::string date = DateText();
    const std::string temperature = TemperatureText();
    const bool present = !BoardConnected || PowerMonitorAnswers();
    if (hold.BusBusy()) {
        // Another program has the bus: nothing was read, so everything shown stays as it was,
        // and a busy bus is no unplugged board.
        ShowInformation(mainWindow_, "WARNING: Bus busy, status not refreshed");
        return;
    }
    SetDlgItemTextA(mainWindow_, IDC_MAIN_RTC_TIME, time.c_str());
    SetDlgItemTextA(mainWindow_, IDC_MAIN_RTC_DATE, date.c_str());
    SetDlgItemTextA(mainWindow_, IDC_MAIN_RTC_TEMP, temperature.c_str());
    RefreshBatteryIndicator();
    if (!present) {
        BoardGone();
    }
    if (FoutIndicatorStale) {
        RefreshFoutIndicator();
        FoutIndicatorStale = false;
    }
}

void Application::RefreshTime() {
    SetDlgItemTextA(mainWindow_, IDC_MAIN_RTC_TIME, TimeText().c_str());
}

void Application::RefreshDate() {
    SetDlgItemTextA(mainWindow_, IDC_MAIN_RTC_DATE, DateText().c_str());
}

void Application::RefreshTemperature() {
    SetDlgItemTextA(mainWindow_, IDC_MAIN_RTC_TEMP, TemperatureText().c_str());
}

std::string Application::TimeText() {
    if (!BoardConnected) {
        return "Unconnected";
    }
    const auto seconds = static_cast<uint8_t>(ReadDeviceRegister(kRegSeconds, 8));
    const int32_t status = TakeBusStatus();
    uint8_t minutes = 0;
    uint8_t hours = 0;
    if (status == kBusOk) {
        minutes = static_cast<uint8_t>(ReadRegisterChecked(kRegMinutes, 8));
        hours = static_cast<uint8_t>(ReadRegisterChecked(kRegHours, 8));
    }
    return TimeTextFromRegisters(status, seconds, minutes, hours, TwelveHourDisplay != 0);
}

std::string Application::DateText() {
    if (!BoardConnected) {
        return "Unconnected";
    }
    const auto day = static_cast<uint8_t>(ReadRegisterChecked(kRegDay, 8));
    const int32_t status = TakeBusStatus();
    uint8_t month = 0;
    uint8_t year = 0;
    uint8_t week = 0;
    if (DayReadAllowsDate(status, day)) {
        month = static_cast<uint8_t>(ReadRegisterChecked(kRegMonth, 8));
        year = static_cast<uint8_t>(ReadRegisterChecked(kRegYear, 8));
        week = static_cast<uint8_t>(ReadRegisterChecked(kRegWeek, 8));
    }
    return DateTextFromRegisters(status, day, month, year, week);
}

std::string Application::TemperatureText() {
    if (!BoardConnected) {
        return "Unconnected";
    }
    const auto raw = static_cast<uint8_t>(ReadRegisterChecked(kRegTemperature, 8));
    const int32_t status = TakeBusStatus();
    return TemperatureTextFromRegister(status, raw);
}

void Application::RefreshBatteryIndicator() {
    const bool onBattery = BoardConnected && BatteryInUse;
    SetLamp(&batteryLamp, IDC_MAIN_BATTERY_LAMP, onBattery ? IDB_LAMP_GREEN : IDB_LAMP_RED);
    SetDlgItemTextA(mainWindow_, IDC_MAIN_BATTERY_TEXT,
                    onBattery ? "Battery Used" : "Battery Not-used");
}

void Application::RefreshFoutIndicator() {
    SetLamp(&foutLamp, IDC_MAIN_FOUT_LAMP, FoutEnabled ? IDB_LAMP_GREEN : IDB_LAMP_RED);
    SetDlgItemTextA(mainWindow_, IDC_MAIN_FOUT_TEXT,
                    FoutEnabled ? "FOUT Enabled" : "FOUT Disabled");
}

void Application::CheckBoardPresent() {
    if (BoardConnected && !PowerMonitorAnswers() && !BusBusyInAction()) {
        BoardGone();
    }
}

bool Application::PowerMonitorAnswers() {
    SelectDevice(PowerMonitorHandle);
    OpenSelectedDevice();
    const uint32_t id = ReadDeviceRegister(kPowerMonitorIdRegister, 32);
    if (id == kPowerMonitorIdPrefix) {
        SelectDevice(RtcHandle);
        OpenSelectedDevice();
        return true;
    }
    return false;
}

void Application::BoardGone() {
    if (DeviceEntry* entry = EntryOf(Bridge().ActiveDevice)) {
        entry->attached = 0;
    } else {
        Bridge().BusStatus = kBusInvalidSelection;
    }
    if (!IsValidHandle(BoardHandle)) {
        Bridge().BusStatus = kBusInvalidSelection;
    }
    ShowDisconnected();
    DisconnectBridge();
}

}  // namespace kalendo
