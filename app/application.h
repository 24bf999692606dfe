// The program: owns the main window, its tooltips and the tab pages; opens the bridge when it is
// built and closes it when it is destroyed.
#pragma once

#include <windows.h>

#include <cstdint>
#include <array>
#include <string>

#include "app/check_hold.h"
#include "app/datasheet_check_window.h"
#include "bridge/bus_action.h"
#include "app/page_set.h"
#include "app/tooltip_set.h"
#include "app/window_placement.h"

namespace kalendo {

constexpr UINT_PTR StatusTimer = 1025;
constexpr UINT kStatusTimerPeriodMs = 1000;
constexpr const char* kMainWindowClass = "KALENDO";
constexpr const char* kTq5200ModelName = "Novar TQ5200";

class Application {
  public:
    Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;
    virtual ~Application();

    // 1 when the main window cannot be created, otherwise the WM_QUIT code.
    int Run(HINSTANCE instance, int showCommand);
    bool CreateMainWindow(HINSTANCE instance, int showCommand);
    // Polls until WM_QUIT and returns its wParam.
    int RunMessageLoop();
    static INT_PTR CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND MainWindow() const { return mainWindow_; }
    PageSet& Pages() { return pages_; }
    const TooltipSet& MainTooltips() const { return mainTooltips_; }
    DataSheetCheckWindow& CheckWindow() { return checkWindow_; }

    // Connection and live status.
    // Returns the error it showed on the information line, or an empty string when the board
    // connected cleanly.
    std::string ConnectBoard();
    void ShowDisconnected();
    void ListBoardDevices();
    void StatusTick();
    // The tick's reads of the time, date, temperature and battery and what they show (the
    // RefreshTime, RefreshDate, RefreshTemperature and RefreshBatteryIndicator steps in one bus
    // share, so a busy bus leaves every text as it was).
    void RefreshStatus(const BusAction& tick);
    void RefreshTime();
    void RefreshDate();
    void RefreshTemperature();
    void RefreshBatteryIndicator();
    void RefreshFoutIndicator();
    // Disconnect by the user: the FOUT gate goes low with the lamp, then the disconnected state,
    // and the board is let go. False when it waits for a running check to end instead.
    bool DisconnectBoard();
    // At exit: the FOUT gate goes low, as the lamp will no longer say anything.
    void ReleaseBoardAtExit();

  private:
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    void OnInitDialog();
    // Where the tab control's own tooltip has no tools (Wine's registers none), each tab header
    // becomes a tool of the main window's set, so hovering a tab shows its tip everywhere.
    void AddTabTipsWhereMissing();
    INT_PTR OnCommand(WPARAM wParam);
    INT_PTR OnNotify(NMHDR* header);
    void OnClose();
    void OnInitMenuPopup(HMENU popup, bool isWindowMenu);
    void TrackNormalRectangle();
    void ModelChosen();
    std::string ShowConnectError(const char* text);
    // A Connect that did not complete: the disconnected state with its error.
    std::string FailConnect(const char* text);
    std::string TimeText();
    std::string DateText();
    std::string TemperatureText();
    // " - Simulated Board" in the title while the bound library is the simulated board.
    void ShowSimulatedBoardInTitle();
    // The board no longer answers: the disconnected state, and the bridge closed. `why` is
    // shown after "Board Disconnected" when given (a board that stopped answering in time).
    void BoardGone(const char* why = nullptr);
    void ShowModelChange();
    void LoadModelNamesIntoBox();
    // What a running check asks of the window (check_hold.h): the pages take no input during a
    // whole check, and the information line says what holds.
    void OnCheckHold(CheckHold hold);
    // The check's run has ended: what waited for it goes on.
    void OnCheckRunEnded();
    // Disconnect, a lost board, a model change and closing wait for a running check to end (it
    // puts the supply back first); each adds itself here and runs at the end notice.
    enum AfterRun : unsigned {
        kAfterRunDisconnect = 1,
        kAfterRunBoardGone = 2,
        kAfterRunModelChange = 4,
        kAfterRunClose = 8,
    };
    void WaitForRunEnd(AfterRun what, const char* why);
    // The presence step of the status tick: the power monitor's identification, read in a bus
    // share of its own; a board found gone is let go once that share has ended.
    void CheckBoardPresent();
    // The menu item's help on the status line while it is highlighted.
    void OnMenuSelect(UINT item, UINT flags);

    // Sets a picture control's bitmap from the program's resources; a failed load shows
    // "Can't load Bitmap" and leaves the control without a picture.
    void SetLamp(HBITMAP* lastLoaded, int controlId, int bitmapId);

    HWND mainWindow_ = nullptr;
    TooltipSet mainTooltips_;
    PageSet pages_;
    WindowRectangle windowRect_;
    std::array<std::string, 3> modelNames_;
    int32_t modelCount_ = 0;
    HINSTANCE instance_ = nullptr;
    DataSheetCheckWindow checkWindow_{[this](CheckHold hold) { OnCheckHold(hold); }};
    unsigned afterRun_ = 0;  // AfterRun bits waiting for the check's end notice
    std::string goneBecause_;  // BoardGone's `why` while it waits
    std::string statusBeforeMenu_;  // the status line while a menu item's help is shown
};

// The main window's tooltip rows.
extern const TooltipRow kMainTooltips[];
extern const int32_t kMainTooltipCount;

}  // namespace kalendo
