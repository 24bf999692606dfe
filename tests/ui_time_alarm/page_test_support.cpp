#include "tests/ui_time_alarm/page_test_support.h"

#include <commctrl.h>

#include <vector>

#include "app/connection_state.h"
#include "pages/pc_clock.h"
#include "resources/resource_ids.h"
#include "rtc/bcd_codec.h"
#include "rtc/rtc_registers.h"
#include "tests/ui/rtc_register_access.h"

namespace kalendo {

namespace {

SYSTEMTIME heldPcTime = {};

void HeldPcClock(SYSTEMTIME* now) {
    *now = heldPcTime;
}

std::vector<unsigned char> Pixels(HBITMAP bitmap) {
    std::vector<unsigned char> pixels;
    if (!bitmap) {
        return pixels;
    }
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    HDC dc = GetDC(nullptr);
    if (GetDIBits(dc, bitmap, 0, 0, nullptr, &info, DIB_RGB_COLORS)) {
        const LONG width = info.bmiHeader.biWidth;
        const LONG height =
            info.bmiHeader.biHeight < 0 ? -info.bmiHeader.biHeight : info.bmiHeader.biHeight;
        BITMAPINFO want = {};
        want.bmiHeader.biSize = sizeof want.bmiHeader;
        want.bmiHeader.biWidth = width;
        want.bmiHeader.biHeight = height;
        want.bmiHeader.biPlanes = 1;
        want.bmiHeader.biBitCount = 32;
        want.bmiHeader.biCompression = BI_RGB;
        pixels.resize(static_cast<size_t>(width) * height * 4);
        if (!GetDIBits(dc, bitmap, 0, height, pixels.data(), &want, DIB_RGB_COLORS)) {
            pixels.clear();
        }
    }
    ReleaseDC(nullptr, dc);
    return pixels;
}

}  // namespace

SYSTEMTIME MakeTime(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
    SYSTEMTIME t = {};
    t.wYear = year;
    t.wMonth = month;
    t.wDay = day;
    t.wHour = hour;
    t.wMinute = minute;
    t.wSecond = second;
    // Day of week by Zeller's congruence, 0 = Sunday, as SYSTEMTIME counts it.
    int y = year;
    int m = month;
    if (m < 3) {
        m += 12;
        --y;
    }
    const int h =
        (day + 13 * (m + 1) / 5 + y % 100 + (y % 100) / 4 + (y / 100) / 4 + 5 * (y / 100)) % 7;
    t.wDayOfWeek = static_cast<WORD>((h + 6) % 7);
    return t;
}

void HoldPcClock(const SYSTEMTIME& at) {
    heldPcTime = at;
    SetPcClockSource(HeldPcClock);
}

void ReleasePcClock() {
    SetPcClockSource(nullptr);
}

void RtcPageTest::SetUp() {
    MainWindowTest::SetUp();
    ASSERT_TRUE(sim_.Load()) << "the simulated ftd2xx.dll was not found";
    sim_.PlugBack();
    sim_.SetAddressAck(kRtcAddress, true);
    sim_.SetAddressAck(kPowerMonitorAddress, true);
}

void RtcPageTest::TearDown() {
    MainWindowTest::TearDown();
    ReleasePcClock();
    sim_.PlugBack();
    sim_.SetAddressAck(kRtcAddress, true);
    sim_.SetAddressAck(kPowerMonitorAddress, true);
    sim_.UseVirtualClock(false);
}

void RtcPageTest::StartOnTab(int tab) {
    sim_.UseVirtualClock(true);
    Start();
    ShowTab(tab);
}

void RtcPageTest::Connect() {
    Click(IDC_MAIN_CONNECT);
    ASSERT_TRUE(BoardConnected) << Text(IDC_MAIN_INFO);
}

HWND RtcPageTest::PageDialog(int tab) const {
    TabPage* page = app_->Pages().Page(static_cast<size_t>(tab));
    return page ? page->Dialog() : nullptr;
}

void RtcPageTest::ClickPage(int tab, int id) const {
    SendMessageA(PageItem(tab, id), BM_CLICK, 0, 0);
}

void RtcPageTest::TickPage(int tab, UINT_PTR timerId) const {
    SendMessageA(PageDialog(tab), WM_TIMER, timerId, 0);
}

bool RtcPageTest::SetPicker(int tab, int id, const SYSTEMTIME& value) const {
    return SendMessageA(PageItem(tab, id), DTM_SETSYSTEMTIME, GDT_VALID,
                        reinterpret_cast<LPARAM>(&value)) != 0;
}

std::string RtcPageTest::RegisterCell(int line, int column) const {
    char text[32] = {};
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(PageItem(kRegistersTab, IDC_REG_LIST), LVM_GETITEMTEXTA, static_cast<WPARAM>(line),
                 reinterpret_cast<LPARAM>(&item));
    return text;
}

SYSTEMTIME RtcPageTest::Picker(int tab, int id) const {
    SYSTEMTIME value = {};
    SendMessageA(PageItem(tab, id), DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&value));
    return value;
}

HBITMAP RtcPageTest::ShownBitmap(int tab, int id) const {
    return reinterpret_cast<HBITMAP>(
        SendMessageA(PageItem(tab, id), STM_GETIMAGE, IMAGE_BITMAP, 0));
}

bool RtcPageTest::ShowsBitmap(int tab, int id, int bitmapId) const {
    HBITMAP shown = ShownBitmap(tab, id);
    HBITMAP expected = LoadBitmapA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(bitmapId));
    const std::vector<unsigned char> want = Pixels(expected);
    DeleteObject(expected);
    return !want.empty() && Pixels(shown) == want;
}

bool RtcPageTest::TimerRunning(int tab, UINT_PTR timerId, UINT periodMs) const {
    if (!KillTimer(PageDialog(tab), timerId)) {
        return false;
    }
    SetTimer(PageDialog(tab), timerId, periodMs, nullptr);
    return true;
}

uint8_t RtcPageTest::ReadRtc(uint8_t reg) const {
    return ReadRtcRegister(reg);
}

void RtcPageTest::WriteRtc(uint8_t reg, uint8_t value) const {
    WriteRtcRegister(reg, value);
}

void RtcPageTest::SetRtcClock(const SYSTEMTIME& t) const {
    const uint8_t control = ReadRtc(kRegControl);
    WriteRtc(kRegControl, control | CTRL_WRITE_GUARD);
    WriteRtc(kRegSeconds, ToBcd(t.wSecond));
    WriteRtc(kRegMinutes, ToBcd(t.wMinute));
    WriteRtc(kRegHours, ToBcd(t.wHour));
    WriteRtc(kRegDay, ToBcd(t.wDay));
    WriteRtc(kRegMonth, ToBcd(t.wMonth));
    WriteRtc(kRegYear, YearToRegister(t.wYear));
    WriteRtc(kRegControl, control & ~CTRL_WRITE_GUARD);
}

}  // namespace kalendo
