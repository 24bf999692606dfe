#include "tests/ui/ui_fixture.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "app/connection_state.h"
#include "resources/resource_ids.h"
#include "rtc/texts/twelve_hour_display.h"

namespace kalendo {

namespace {

constexpr const char* kPlacementKey = "Software\\Novar\\Kalendo";

// UI test programs run in parallel under ctest but share the registry key, the bus mutex and the
// display of one Wine prefix: one at a time.
constexpr const char* kUiTestLock = "KalendoUiTestLock";

void ResetProcessFlags() {
    BoardConnected = false;
    FoutEnabled = false;
    FoutIndicatorStale = false;
    BatteryInUse = false;
    Tq5200Selected = 0;
    TwelveHourDisplay = 1;
    BoardHandle = 0;
    PowerMonitorHandle = 0;
    RtcHandle = 0;
}

std::vector<std::string> informationShown;
WNDPROC informationProc = nullptr;

LRESULT CALLBACK RecordInformation(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SETTEXT && lParam) {
        informationShown.emplace_back(reinterpret_cast<const char*>(lParam));
    }
    return CallWindowProcA(informationProc, window, message, wParam, lParam);
}

}  // namespace

void MainWindowTest::SetUp() {
    lock_ = CreateMutexA(nullptr, FALSE, kUiTestLock);
    ASSERT_NE(lock_, nullptr);
    WaitForSingleObject(lock_, INFINITE);
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES | ICC_INTERNET_CLASSES};
    InitCommonControlsEx(&controls);
    // The pages record their writes of the RTC's time in the mark store: the tests' own, one at
    // a time under the lock, never the user's.
    char temp[MAX_PATH] = {};
    GetTempPathA(sizeof temp, temp);
    markStore_ = std::string(temp) + "kalendo-ui-test-marks.txt";
    DeleteFileA(markStore_.c_str());
    _putenv_s("KALENDO_MARK_STORE", markStore_.c_str());
    // The model file and the help documents lie beside the test program.
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    if (char* slash = strrchr(path, '\\')) {
        *slash = '\0';
    }
    SetCurrentDirectoryA(path);
    DeletePlacementKey();
    ResetProcessFlags();
}

void MainWindowTest::TearDown() {
    Close();
    app_.reset();
    ResetProcessFlags();
    DeleteFileA(markStore_.c_str());
    if (lock_) {
        ReleaseMutex(lock_);
        CloseHandle(lock_);
    }
}

void MainWindowTest::Start() {
    app_ = std::make_unique<Application>();
    ASSERT_TRUE(app_->CreateMainWindow(GetModuleHandleA(nullptr), SW_SHOWNORMAL))
        << "error " << GetLastError();
    main_ = app_->MainWindow();
    ASSERT_TRUE(IsWindow(main_));
    informationShown.clear();
    informationProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
        Item(IDC_MAIN_INFO), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordInformation)));
}

const std::vector<std::string>& MainWindowTest::InformationShown() const {
    return informationShown;
}

void MainWindowTest::ForgetInformation() {
    informationShown.clear();
}

bool MainWindowTest::InformationShownInOrder(const std::vector<std::string>& texts) const {
    auto next = informationShown.begin();
    for (const std::string& text : texts) {
        next = std::find(next, informationShown.end(), text);
        if (next == informationShown.end()) {
            return false;
        }
        ++next;
    }
    return true;
}

void MainWindowTest::Close() {
    if (main_ && IsWindow(main_)) {
        SendMessageA(main_, WM_CLOSE, 0, 0);
        EXPECT_EQ(app_->RunMessageLoop(), 0);
    }
    main_ = nullptr;
}

std::string MainWindowTest::TextOf(HWND window) const {
    char text[512] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string MainWindowTest::Text(int id) const {
    return TextOf(Item(id));
}

void MainWindowTest::Click(int id) {
    SendMessageA(main_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Item(id)));
}

void MainWindowTest::Tick() {
    SendMessageA(main_, WM_TIMER, StatusTimer, 0);
}

void MainWindowTest::ChooseModel(int index) {
    SendMessageA(Item(IDC_MAIN_MODEL), CB_SETCURSEL, index, 0);
    SendMessageA(main_, WM_COMMAND, MAKEWPARAM(IDC_MAIN_MODEL, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(Item(IDC_MAIN_MODEL)));
}

void MainWindowTest::ShowTab(int index) {
    // As a click does: the tab control sends TCN_SELCHANGING and TCN_SELCHANGE to the main window.
    SendMessageA(Item(IDC_MAIN_TAB), TCM_SETCURFOCUS, index, 0);
}

HBITMAP MainWindowTest::Picture(int id) const {
    return reinterpret_cast<HBITMAP>(SendMessageA(Item(id), STM_GETIMAGE, IMAGE_BITMAP, 0));
}

bool MainWindowTest::ShowsGreenLamp(int id) const {
    const COLORREF average = AverageColour(Picture(id));
    return GetGValue(average) > GetRValue(average);
}

COLORREF AverageColour(HBITMAP bitmap) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    HDC dc = GetDC(nullptr);
    if (!bitmap || !GetDIBits(dc, bitmap, 0, 0, nullptr, &info, DIB_RGB_COLORS)) {
        ReleaseDC(nullptr, dc);
        return RGB(0, 0, 0);
    }
    const int width = info.bmiHeader.biWidth;
    const int height = std::abs(info.bmiHeader.biHeight);
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<RGBQUAD> pixels(static_cast<size_t>(width) * height);
    GetDIBits(dc, bitmap, 0, height, pixels.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    unsigned long long r = 0, g = 0, b = 0;
    for (const RGBQUAD& p : pixels) {
        r += p.rgbRed;
        g += p.rgbGreen;
        b += p.rgbBlue;
    }
    const size_t n = pixels.empty() ? 1 : pixels.size();
    return RGB(r / n, g / n, b / n);
}

void DeletePlacementKey() {
    RegDeleteKeyA(HKEY_CURRENT_USER, kPlacementKey);
}

bool ReadPlacementValue(const char* name, DWORD* value) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kPlacementKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    DWORD type = 0;
    DWORD size = sizeof *value;
    const bool ok = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value),
                                     &size) == ERROR_SUCCESS &&
                    type == REG_DWORD && size == sizeof *value;
    RegCloseKey(key);
    return ok;
}

void WritePlacementValue(const char* name, DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, kPlacementKey, &key), ERROR_SUCCESS);
    RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
}

}  // namespace kalendo
