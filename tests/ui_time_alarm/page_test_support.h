// The main window on the simulated board with one of its RTC pages in front, and the user's
// hands on that page: clicks, picker values, the picture shown and the page's window timers.
#pragma once

#include <windows.h>

#include <string>

#include "tests/ui/sim_board.h"
#include "tests/ui/ui_fixture.h"

namespace kalendo {

constexpr unsigned kRtcAddress = 0x32;
constexpr unsigned kPowerMonitorAddress = 0x40;
constexpr int kTimeDateTab = 1;
constexpr int kAlarmTab = 2;
constexpr int kRegistersTab = 4;

SYSTEMTIME MakeTime(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second);

class RtcPageTest : public MainWindowTest {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the program with the board's clock held still and shows the tab.
    void StartOnTab(int tab);
    void Connect();

    HWND PageDialog(int tab) const;
    HWND PageItem(int tab, int id) const { return GetDlgItem(PageDialog(tab), id); }
    std::string PageText(int tab, int id) const { return TextOf(PageItem(tab, id)); }
    // A mouse click on a page's button (an automatic radio button checks itself).
    void ClickPage(int tab, int id) const;
    void TickPage(int tab, UINT_PTR timerId) const;
    bool SetPicker(int tab, int id, const SYSTEMTIME& value) const;
    SYSTEMTIME Picker(int tab, int id) const;
    // The text of a cell of the Registers tab's list (line = register, column 2 = hex value).
    std::string RegisterCell(int line, int column) const;
    HBITMAP ShownBitmap(int tab, int id) const;
    // True when the picture control shows the program's bitmap resource bitmapId, pixel for pixel.
    bool ShowsBitmap(int tab, int id, int bitmapId) const;
    // Whether the page's window timer runs; it goes on running afterwards with the given period.
    bool TimerRunning(int tab, UINT_PTR timerId, UINT periodMs) const;

    // The RTC's registers through the program's own bus while connected.
    uint8_t ReadRtc(uint8_t reg) const;
    void WriteRtc(uint8_t reg, uint8_t value) const;
    // Puts the chip's clock at the given time with the write guard around it.
    void SetRtcClock(const SYSTEMTIME& t) const;

    SimBoard sim_;
};

// The PC clock the pages see, held still at a chosen moment.
void HoldPcClock(const SYSTEMTIME& at);
void ReleasePcClock();

}  // namespace kalendo
