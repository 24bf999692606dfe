// Connect and Disconnect, and the one-second status tick: the RTC's time, date and temperature,
// the three lamps and the check that the board is still there.
#include <cstdint>
#include <cstring>

#include "app/application.h"
#include "app/connection_state.h"
#include "app/page_action.h"
#include "app/picture.h"
#include "app/status_text.h"
#include "bridge/board_discovery.h"
#include "bridge/bus_action.h"
#include "bridge/fout_gate.h"
#include "bridge/register_access.h"
#include "bridge/register_port.h"
#include "bridge/simulated_board.h"
#include "power/power_monitor_operations.h"
#include "resources/resource_ids.h"
#include "rtc/rtc_setup.h"
#include "rtc/texts/status_texts.h"
#include "rtc/texts/twelve_hour_display.h"

namespace kalendo {

namespace {

// The last bitmap each lamp routine loaded, freed once the next one is in place.
HBITMAP connectBoardLamp = nullptr;
HBITMAP disconnectBoardLamp = nullptr;
HBITMAP batteryLamp = nullptr;
HBITMAP foutLamp = nullptr;

constexpr const char* kSimulatedTitleSuffix = " - Simulated Board";

}  // namespace

void Application::SetLamp(HBITMAP* lastLoaded, int controlId, int bitmapId) {
    ShowBitmap(mainWindow_, controlId, bitmapId, lastLoaded, mainWindow_);
}

void Application::ShowSimulatedBoardInTitle() {
    char title[128] = {};
    GetWindowTextA(mainWindow_, title, sizeof title);
    const size_t length = std::strlen(title);
    const size_t suffix = std::strlen(kSimulatedTitleSuffix);
    const bool shown =
        length >= suffix && std::strcmp(title + length - suffix, kSimulatedTitleSuffix) == 0;
    if (LoadedLibraryIsSimulatedBoard() && !shown && length + suffix < sizeof title) {
        std::strcat(title, kSimulatedTitleSuffix);
        SetWindowTextA(mainWindow_, title);
    }
}

std::string Application::ConnectBoard() {
    PageAction action(mainWindow_, kUserActionBusWaitMs);
    // Every Connect searches afresh: a board unplugged and plugged back, or swapped, while
    // disconnected is found as it is now, not as the last search left it.
    DisconnectBridge();
    ConnectBridge();
    ShowSimulatedBoardInTitle();
    ListBoardDevices();
    pages_.ResetAll();
    if (action.BusBusy()) {
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
    DevicePort powerMonitor(PowerMonitorHandle);
    const bool powerMonitorReady = InitialisePowerMonitor(powerMonitor);
    if (Bridge().boardChanged) {
        return FailConnect("ERROR: Board changed, connect again");
    }
    RtcHandle = FindDeviceByName(BoardHandle, kRtcDeviceName);
    if (RtcHandle == 0) {
        return ShowConnectError("ERROR: Unable to locate RTC device");
    }
    DevicePort rtc(RtcHandle);
    if (InitialiseRtc(rtc, Tq5200Selected != 0)) {
        ShowInformation(mainWindow_, "Connected to RTC");
    } else {
        ShowInformation(mainWindow_, "ERROR: RTC not initialised, bus error");
    }
    if (action.BusBusy()) {
        return FailConnect("ERROR: Bus busy, board not connected");
    }
    SetLamp(&connectBoardLamp, IDC_MAIN_BOARD_LAMP, IDB_LAMP_GREEN);
    SetDlgItemTextA(mainWindow_, IDC_MAIN_CONNECT, "Disconnect");
    BoardConnected = true;
    SetDlgItemTextA(mainWindow_, IDC_MAIN_BOARD_TEXT, "Board Connected");
    RefreshTime();
    RefreshDate();
    RefreshTemperature();
    SetFoutGate(false);
    FoutEnabled = false;
    if (action.BusBusy()) {
        return FailConnect("ERROR: Bus busy, board not connected");
    }
    if (!powerMonitorReady || !action.Ok()) {
        // A board whose set-up did not reach it is not connected: the window must not offer
        // "Disconnect" beside a chip in an unknown state.
        return FailConnect("ERROR: Board not initialised, bus error");
    }
    ShowInformation(mainWindow_, "Board Connected");
    // The window's marks are this board's.
    checkWindow_.ShowBoardMarks();
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
    // The board is let go, so that another program can open it and the next Connect searches anew.
    DisconnectBridge();
    return ShowConnectError(text);
}

bool Application::DisconnectBoard() {
    if (checkWindow_.EndRun("Disconnect")) {
        WaitForRunEnd(kAfterRunDisconnect, "Disconnect");
        return false;
    }
    if (BoardConnected) {
        // The lamp is about to say "FOUT Disabled": the clock output stops with it.
        BusAction action(kUserActionBusWaitMs);
        SetFoutGate(false);
    }
    ShowDisconnected();
    // While the window says "Disconnected" the board is free: the channel is closed and the
    // tables freed, so another program can open it and the next Connect searches afresh.
    DisconnectBridge();
    return true;
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
    checkWindow_.ShowBoardMarks();
}

// Kept on purpose: walks every board's device handles and keeps none, and its message is written
// over by the steps that follow; the walk touches no bus.
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
    // While a whole check changes the board, the RTC's reads would fall inside its settle windows
    // and its current average: the tick only looks whether the board is still there.
    if (!CheckHoldsTheBoard()) {
        BusAction tick(kPeriodicTickBusWaitMs);
        RefreshStatus(tick);
    }
    CheckBoardPresent();
    if (FoutIndicatorStale) {
        RefreshFoutIndicator();
        FoutIndicatorStale = false;
    }
}

void Application::RefreshStatus(const BusAction& tick) {
    const std::string time = TimeText();
    const std::string date = DateText();
    const std::string temperature = TemperatureText();
    if (BoardConnected) {
        // The battery lamp follows the board, not only the Power page's cycles.
        DevicePort powerMonitor(PowerMonitorHandle);
        bool onBattery = false;
        if (ReadBatteryInUse(powerMonitor, &onBattery)) {
            BatteryInUse = onBattery;
        }
    }
    if (tick.BusBusy()) {
        // Another thread or program has the bus: nothing was read, so everything shown stays as
        // it was.
        ShowInformation(mainWindow_, "WARNING: Bus busy, status not refreshed");
        return;
    }
    SetDlgItemTextA(mainWindow_, IDC_MAIN_RTC_TIME, time.c_str());
    SetDlgItemTextA(mainWindow_, IDC_MAIN_RTC_DATE, date.c_str());
    SetDlgItemTextA(mainWindow_, IDC_MAIN_RTC_TEMP, temperature.c_str());
    RefreshBatteryIndicator();
}

void Application::CheckBoardPresent() {
    if (!BoardConnected) {
        return;
    }
    bool present = true;
    bool silent = false;
    {
        BusAction presence(kPeriodicTickBusWaitMs);
        DevicePort powerMonitor(PowerMonitorHandle);
        // A busy bus is no unplugged board.
        present = PowerMonitorIdentifies(powerMonitor) || presence.BusBusy();
        silent = ThisThreadFoundBoardSilent();
    }
    // Once the presence read's bus share has ended: nothing below may wait behind it.
    if (!present) {
        BoardGone(silent ? "ERROR: Board not answering in time, disconnected" : nullptr);
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
    DevicePort rtc(RtcHandle);
    return ReadRtcTimeText(rtc, TwelveHourDisplay != 0);
}

std::string Application::DateText() {
    if (!BoardConnected) {
        return "Unconnected";
    }
    DevicePort rtc(RtcHandle);
    return ReadRtcDateText(rtc);
}

std::string Application::TemperatureText() {
    if (!BoardConnected) {
        return "Unconnected";
    }
    DevicePort rtc(RtcHandle);
    return ReadRtcTemperatureText(rtc);
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

void Application::BoardGone(const char* why) {
    if (checkWindow_.EndRun("the board being lost")) {
        if (why) goneBecause_ = why;
        WaitForRunEnd(kAfterRunBoardGone, "the board being lost");
        return;
    }
    // The board is taken as gone: its power monitor is no longer attached.
    if (DeviceEntry* entry = EntryOf(PowerMonitorHandle)) {
        entry->attached = 0;
    }
    // The lamp is about to say "FOUT Disabled": where the bridge is still there (a bus fault,
    // not an unplugged board) the clock output stops with it. A board that stopped answering in
    // time is not asked again (its engine would not answer the resynchronisation either); the
    // next Connect drives the gate low.
    if (!ThisThreadFoundBoardSilent()) {
        SetFoutGate(false);
    }
    ShowDisconnected();
    DisconnectBridge();
    if (why) {
        ShowInformation(mainWindow_, why);
    }
}

void Application::ReleaseBoardAtExit() {
    if (BoardConnected) {
        BusAction action(kUserActionBusWaitMs);
        SetFoutGate(false);  // the program's lamp said what FOUT does; nothing is left running
        BoardConnected = false;
    }
}

}  // namespace kalendo
