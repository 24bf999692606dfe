#include "app/application.h"

#include <commctrl.h>

#include <cstring>

#include "bridge/board_discovery.h"
#include "resources/resource_ids.h"

namespace kalendo {

namespace {

constexpr ATOM kSystemDialogClass = 0x8002;
constexpr DWORD kCommonControlClasses = ICC_WIN95_CLASSES | ICC_INTERNET_CLASSES;

}  // namespace

Application::Application() {
    ConnectBridge();
    ListBoardDevices();
}

Application::~Application() {
    // The check's worker uses the board tables that DisconnectBridge frees.
    checkWindow_.EndRunAndWait("closing the program");
    ReleaseBoardAtExit();
    DisconnectBridge();
    // The class belongs to this object's main window; a later Application in the same process
    // (the tests make one per case) registers it again.
    if (instance_) {
        UnregisterClassA(kMainWindowClass, instance_);
    }
}

int Application::Run(HINSTANCE instance, int showCommand) {
    INITCOMMONCONTROLSEX controls = {sizeof controls, kCommonControlClasses};
    InitCommonControlsEx(&controls);
    if (!CreateMainWindow(instance, showCommand)) {
        return 1;
    }
    return RunMessageLoop();
}

bool Application::CreateMainWindow(HINSTANCE instance, int showCommand) {
    std::strcpy(RegistrySubKey, "Software\\Novar\\Kalendo");
    WNDCLASSA windowClass = {};
    if (!GetClassInfoA(nullptr, MAKEINTATOM(kSystemDialogClass), &windowClass)) {
        return false;
    }
    // The system dialog class keeps its extra window bytes, so DWLP_USER and DWLP_MSGRESULT exist.
    windowClass.lpfnWndProc = DefDlgProcA;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_KALENDO));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszMenuName = MAKEINTRESOURCEA(IDR_MAIN_MENU);
    windowClass.lpszClassName = kMainWindowClass;
    if (!RegisterClassA(&windowClass)) {
        return false;
    }
    instance_ = instance;
    HWND window = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainWindowProc,
                                     reinterpret_cast<LPARAM>(this));
    if (!window) {
        return false;
    }
    ShowWindow(window, showCommand);
    return true;
}

int Application::RunMessageLoop() {
    MSG msg = {};
    for (;;) {
        if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            Sleep(1);
            continue;
        }
        if (msg.message == WM_QUIT) {
            return static_cast<int>(msg.wParam);
        }
        // The dialog manager's keyboard handling for the Data Sheet Check window and for the page
        // that is shown; with no selection the target is null and the message is dispatched as
        // usual.
        HWND check = checkWindow_.Dialog();
        if (check && IsDialogMessageA(check, &msg)) {
            continue;
        }
        if (!IsDialogMessageA(pages_.SelectedPageDialog(), &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

INT_PTR CALLBACK Application::MainWindowProc(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
    auto* app = reinterpret_cast<Application*>(GetWindowLongPtrA(window, DWLP_USER));
    if (message == WM_INITDIALOG) {
        app = reinterpret_cast<Application*>(lParam);
        if (app) {
            app->mainWindow_ = window;
        }
        SetWindowLongPtrA(window, DWLP_USER, lParam);
    }
    if (!app) {
        return 0;
    }
    return app->Dispatch(message, wParam, lParam);
}

}  // namespace kalendo
