// The main window's message handling: set-up, commands, tab notifications, placement, closing.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <cstring>
#include <optional>

#include "app/about_box.h"
#include "app/application.h"
#include "app/check_hold.h"
#include "app/connection_state.h"
#include "app/status_text.h"
#include "bridge/bus_action.h"
#include "rtc/model_file.h"
#include "resources/resource_ids.h"

namespace kalendo {

const TooltipRow kMainTooltips[] = {
    {IDC_MAIN_LOGO, "Novar - keeping time for you"},
    {IDC_MAIN_MODEL, "Select the RTC device"},
    {IDC_MAIN_CONNECT, "Connects the Kalendo Board"},
    {IDC_MAIN_RTC_TIME, "Displays the current RTC Time"},
    {IDC_MAIN_RTC_DATE, "Displays the current RTC Date"},
    {IDC_MAIN_RTC_TEMP, "Displays the current RTC Temp, in degrees C"},
    {IDC_MAIN_BOARD_LAMP, "Board Status: Green = Connected, Red = Disconnected"},
    {IDC_MAIN_FOUT_LAMP, "FOUT State: Green = Enabled, Red = Disabled"},
    {IDC_MAIN_BATTERY_LAMP, "Battery Usage: Green = Using Battery, Red = Not Using Battery"},
    {IDC_MAIN_STATUS, "Program Status"},
    {IDC_MAIN_INFO, "Program Information"},
};
const int32_t kMainTooltipCount = sizeof kMainTooltips / sizeof kMainTooltips[0];

namespace {

constexpr int kModelTextCapacity = 32;  // at most 31 characters of the model box
constexpr const char* kProductName = "Kalendo Tool";

}  // namespace

INT_PTR Application::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    // A user's click, choice or tab change waits for the bus at most once in all; the status
    // tick takes a tick's share itself.
    std::optional<BusAction> hold;
    if (message == WM_COMMAND || message == WM_NOTIFY || message == WM_INITDIALOG) {
        hold.emplace(kUserActionBusWaitMs);
    }
    switch (message) {
        case WM_INITDIALOG:
            OnInitDialog();
            return FALSE;
        case WM_COMMAND:
            return OnCommand(wParam);
        case WM_NOTIFY:
            return OnNotify(reinterpret_cast<NMHDR*>(lParam));
        case WM_TIMER:
            if (wParam == StatusTimer) {
                StatusTick();
            }
            return FALSE;
        case kCheckRunEndedMessage:
            OnCheckRunEnded();
            return TRUE;
        case WM_MOVE:
        case WM_SIZE:
            TrackNormalRectangle();
            return FALSE;
        case WM_CLOSE:
            OnClose();
            return TRUE;
        case WM_DESTROY:
            // As the window goes, not when the object does: nothing keeps running unseen. A run
            // still going here (the window destroyed without closing) is waited for: the board
            // tables go with the program.
            checkWindow_.EndRunAndWait("closing the program");
            ReleaseBoardAtExit();
            PostQuitMessage(0);
            return TRUE;
        case WM_ERASEBKGND:
            return FALSE;
        case WM_VSCROLL:
            return TRUE;
        case WM_INITMENUPOPUP:
            OnInitMenuPopup(reinterpret_cast<HMENU>(wParam), HIWORD(lParam) != 0);
            return FALSE;
        case WM_MENUSELECT:
            OnMenuSelect(LOWORD(wParam), HIWORD(wParam));
            return FALSE;
        default:
            return FALSE;
    }
}

void Application::OnInitDialog() {
    LoadModelNamesIntoBox();
    RestorePlacement(mainWindow_);
    // A position that did not change sends no WM_MOVE; without this a first start would save an
    // empty rectangle.
    TrackNormalRectangle();
    SetWindowTextA(GetDlgItem(mainWindow_, IDC_MAIN_STATUS), "Information Tab");
    ShowModelChange();
    mainTooltips_.Build(kMainTooltips, mainWindow_, kMainTooltipCount);
    pages_.CreatePageDialogs(GetDlgItem(mainWindow_, IDC_MAIN_TAB), mainWindow_);
    AddTabTipsWhereMissing();
    DragAcceptFiles(mainWindow_, FALSE);
    ShowSimulatedBoardInTitle();
    RefreshTime();
    RefreshDate();
    RefreshTemperature();
    SetTimer(mainWindow_, StatusTimer, kStatusTimerPeriodMs, nullptr);
    checkWindow_.SetEndNotice(mainWindow_);
}

void Application::AddTabTipsWhereMissing() {
    HWND tab = pages_.TabControl();
    if (!tab) {
        return;
    }
    HWND tabTips = reinterpret_cast<HWND>(SendMessageA(tab, TCM_GETTOOLTIPS, 0, 0));
    if (tabTips && SendMessageA(tabTips, TTM_GETTOOLCOUNT, 0, 0) > 0) {
        return;  // the tab control asks for its tips itself (PageSet::HandleNotify answers)
    }
    for (size_t i = 0; i < pages_.PageCount(); ++i) {
        RECT area = {};
        if (SendMessageA(tab, TCM_GETITEMRECT, i, reinterpret_cast<LPARAM>(&area))) {
            mainTooltips_.AddAreaTool(tab, i, area, pages_.Page(i)->TabTip());
        }
    }
}

void Application::LoadModelNamesIntoBox() {
    const ModelNamesResult result = LoadModelNames(modelNames_, modelCount_);
    if (result.fileOpened) {
        SetWindowTextFormat(GetDlgItem(mainWindow_, IDC_MAIN_INFO),
                            "Reading information for %d models", result.declaredCount);
    }
    HWND box = GetDlgItem(mainWindow_, IDC_MAIN_MODEL);
    for (int32_t i = 0; i < modelCount_; ++i) {
        SendMessageA(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(modelNames_[i].c_str()));
    }
    SendMessageA(box, CB_SETCURSEL, 0, 0);
}

void Application::TrackNormalRectangle() {
    if (!mainWindow_ || IsZoomed(mainWindow_) || IsIconic(mainWindow_)) {
        return;
    }
    RECT rect = {};
    GetWindowRect(mainWindow_, &rect);
    windowRect_ = {rect.left, rect.top, rect.right, rect.bottom};
}

void Application::ShowModelChange() {
    char model[kModelTextCapacity] = {};
    GetWindowTextA(GetDlgItem(mainWindow_, IDC_MAIN_MODEL), model, sizeof model);
    SetWindowTextFormat(GetDlgItem(mainWindow_, IDC_MAIN_INFO), "RTC changed to %s", model);
}

INT_PTR Application::OnCommand(WPARAM wParam) {
    const int id = LOWORD(wParam);
    const int code = HIWORD(wParam);
    switch (id) {
        case IDC_MAIN_MODEL:
            if (code == CBN_SELCHANGE) {
                ModelChosen();
            }
            return TRUE;
        case IDC_MAIN_CONNECT: {
            std::string connectError;
            if (BoardConnected) {
                if (!DisconnectBoard()) {
                    return TRUE;  // once the running check has ended
                }
            } else {
                connectError = ConnectBoard();
            }
            pages_.ResetAll();
            // The pages' reset writes its own lines ("not connected", "refreshed"); a failed
            // connect must stay the last word, or its cause is hidden behind them.
            if (!connectError.empty()) {
                ShowInformation(mainWindow_, connectError.c_str());
            }
            return TRUE;
        }
        case IDM_FILE_EXIT:
            PostMessageA(mainWindow_, WM_CLOSE, 0, 0);
            return TRUE;
        case IDM_CHECK_DATASHEET:
            checkWindow_.Open(instance_, mainWindow_);
            return TRUE;
        case IDM_HELP_QUICK:
            ShellExecuteA(nullptr, "open", "KalendoQuickHelp.htm", nullptr, nullptr, SW_SHOWNORMAL);
            return TRUE;
        case IDM_HELP_LICENSE:
            ShellExecuteA(nullptr, "open", "LICENSE-EULA.htm", nullptr, nullptr, SW_SHOWNORMAL);
            return TRUE;
        case IDM_HELP_ABOUT:
            DialogBoxParamA(
                reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(mainWindow_, GWLP_HINSTANCE)),
                MAKEINTRESOURCEA(IDD_ABOUT), mainWindow_, AboutProc, 0);
            return TRUE;
        default:
            return FALSE;
    }
}

void Application::ModelChosen() {
    if (checkWindow_.EndRun("a model change")) {
        WaitForRunEnd(kAfterRunModelChange, "a model change");
        return;
    }
    if (BoardConnected) {
        DisconnectBoard();
    }
    ShowModelChange();
    char model[kModelTextCapacity] = {};
    GetWindowTextA(GetDlgItem(mainWindow_, IDC_MAIN_MODEL), model, sizeof model);
    const bool tq5200 = std::strcmp(model, kTq5200ModelName) == 0;
    const int show = tq5200 ? SW_HIDE : SW_SHOW;
    ShowWindow(GetDlgItem(mainWindow_, IDC_MAIN_RTC_TEMP), show);
    ShowWindow(GetDlgItem(mainWindow_, IDC_MAIN_TEMP_LABEL), show);
    ShowWindow(GetDlgItem(mainWindow_, IDC_MAIN_TEMP_UNIT), show);
    Tq5200Selected = tq5200 ? 1 : 0;
    pages_.ResetAll();
}

INT_PTR Application::OnNotify(NMHDR* header) {
    if (!header) {
        return pages_.HandleNotify(header) ? TRUE : FALSE;
    }
    // Emptied after the new page's OnShow, unless the page reported a failure there (a read that
    // failed), which stays readable; its routine messages do not.
    const bool tabChange = header->code == TCN_SELCHANGE && pages_.TabControl() &&
                           header->hwndFrom == pages_.TabControl();
    if (tabChange) {
        MarkInformation();
    }
    const bool handled = pages_.HandleNotify(header);
    if (tabChange && !FailureShownSinceMark()) {
        SetWindowTextFormat(GetDlgItem(mainWindow_, IDC_MAIN_INFO), "%s", "");
    }
    if (tabChange && handled) {
        SetWindowTextFormat(GetDlgItem(mainWindow_, IDC_MAIN_STATUS), "%s Tab",
                            pages_.CurrentCaption());
        return TRUE;
    }
    if (header->code == TTN_GETDISPINFOA && !handled) {
        mainTooltips_.SupplyText(reinterpret_cast<NMTTDISPINFOA*>(header));
        return TRUE;
    }
    return handled ? TRUE : FALSE;
}

void Application::OnInitMenuPopup(HMENU popup, bool isWindowMenu) {
    if (isWindowMenu) {
        return;
    }
    char text[64] = {};
    wsprintfA(text, "&About %s...", kProductName);
    // A popup without the About item (the File menu) is left unchanged.
    ModifyMenuA(popup, IDM_HELP_ABOUT, MF_BYCOMMAND | MF_STRING, IDM_HELP_ABOUT, text);
}

void Application::OnCheckHold(CheckHold hold) {
    const CheckHold before = CurrentCheckHold();
    SetCheckHold(hold);
    pages_.EnablePages(hold != CheckHold::WholeBoard);
    switch (hold) {
        case CheckHold::WholeBoard:
            ShowInformation(mainWindow_,
                            "Data Sheet Check running: the pages and the clock wait until it ends");
            break;
        case CheckHold::MeasuringRtc:
            ShowInformation(mainWindow_,
                            "Data Sheet Check measuring the RTC: its time, timer and FOUT are "
                            "not changed until it ends");
            break;
        case CheckHold::None:
            if (before != CheckHold::None) {
                ShowInformation(mainWindow_, "Data Sheet Check ended: the pages work again");
            }
            break;
    }
}

void Application::WaitForRunEnd(AfterRun what, const char* why) {
    afterRun_ |= what;
    ShowInformation(mainWindow_,
                    (std::string("Data Sheet Check ending: ") + why +
                     (checkWindow_.TakingAMark() ? " follows once the mark has stopped"
                                                 : " follows once the supply is put back"))
                        .c_str());
}

void Application::OnCheckRunEnded() {
    checkWindow_.RunEnded();
    const unsigned after = afterRun_;
    afterRun_ = 0;
    if (after & kAfterRunClose) {
        OnClose();
        return;
    }
    if (after & kAfterRunBoardGone) {
        const std::string why = goneBecause_;
        goneBecause_.clear();
        if (BoardConnected) {
            BoardGone(why.empty() ? nullptr : why.c_str());
        }
    }
    if (after & kAfterRunModelChange) {
        ModelChosen();  // disconnects too
    } else if ((after & kAfterRunDisconnect) && BoardConnected) {
        DisconnectBoard();
        pages_.ResetAll();
    }
}

void Application::OnMenuSelect(UINT item, UINT flags) {
    HWND status = GetDlgItem(mainWindow_, IDC_MAIN_STATUS);
    const bool closing = flags == 0xFFFF;
    if (!closing && item == IDM_CHECK_DATASHEET && !(flags & MF_POPUP)) {
        if (statusBeforeMenu_.empty()) {
            char text[128] = {};
            GetWindowTextA(status, text, sizeof text);
            statusBeforeMenu_ = text[0] ? text : " ";
        }
        SetWindowTextA(status, "Measure the RTC against its data sheet");
    } else if (!statusBeforeMenu_.empty()) {
        SetWindowTextA(status, statusBeforeMenu_ == " " ? "" : statusBeforeMenu_.c_str());
        statusBeforeMenu_.clear();
    }
}

void Application::OnClose() {
    if (checkWindow_.EndRun("closing the program")) {
        WaitForRunEnd(kAfterRunClose, "closing the program");
        return;
    }
    SavePlacement(windowRect_);
    KillTimer(mainWindow_, StatusTimer);
    mainTooltips_.Teardown();
    pages_.CloseAll();
    DestroyWindow(mainWindow_);
}

}  // namespace kalendo
