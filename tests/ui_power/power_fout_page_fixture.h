// The main window on the simulated board with the Power and FOUT tab in front, the user's hands
// on its controls, and what the board and the log file show.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/connection_state.h"
#include "pages/power_fout_page.h"
#include "resources/resource_ids.h"
#include "sim/control/sim_control_api.h"
#include "tests/ui_time_alarm/page_test_support.h"

namespace kalendo {

constexpr int kPowerTab = 5;
constexpr UINT_PTR kMeasureTimer = 1028;
constexpr UINT_PTR kSettleTimer = 1031;

class PowerFoutPageTest : public RtcPageTest {
  protected:
    void SetUp() override {
        RtcPageTest::SetUp();
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        char dir[MAX_PATH];
        std::snprintf(dir, sizeof dir, "%skalendo_power_%lu", temp, GetCurrentProcessId());
        CreateDirectoryA(dir, nullptr);
        GetCurrentDirectoryA(sizeof savedDir_, savedDir_);
        // Log files land in the current directory; the program reads its model file from there.
        const std::string models = std::string(dir) + "\\rtc_model_info.txt";
        ASSERT_TRUE(CopyFileA("rtc_model_info.txt", models.c_str(), FALSE));
        ASSERT_TRUE(SetCurrentDirectoryA(dir));
    }
    void TearDown() override {
        RtcPageTest::TearDown();
        SetCurrentDirectoryA(savedDir_);
    }

    void StartConnected() {
        StartOnTab(kPowerTab);
        Connect();
        sim_.ClearRegisterWrites();
    }
    PowerFoutPage& Page() const {
        return *static_cast<PowerFoutPage*>(app_->Pages().Page(kPowerTab));
    }
    std::string PageText(int id) const { return RtcPageTest::PageText(kPowerTab, id); }
    double PageNumber(int id) const { return std::atof(PageText(id).c_str()); }
    void ClickPage(int id) const { RtcPageTest::ClickPage(kPowerTab, id); }
    void MeasureTicks(int count) const {
        for (int i = 0; i < count; ++i) {
            TickPage(kPowerTab, kMeasureTimer);
        }
    }
    void Choose(int box, int index) const {
        HWND combo = PageItem(kPowerTab, box);
        SendMessageA(combo, CB_SETCURSEL, index, 0);
        SendMessageA(PageDialog(kPowerTab), WM_COMMAND, MAKEWPARAM(box, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(combo));
    }
    // The user drags the trackbar to tenths.
    void DragTo(int tenths) const {
        HWND trackbar = PageItem(kPowerTab, IDC_POWER_SUPPLY_TRACKBAR);
        SendMessageA(trackbar, TBM_SETPOS, TRUE, tenths);
        SendMessageA(PageDialog(kPowerTab), WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, tenths),
                     reinterpret_cast<LPARAM>(trackbar));
    }
    std::vector<BusWrite> SupplyLevelWrites() const {
        std::vector<BusWrite> writes;
        for (const BusWrite& write : sim_.ValueWrites(kPowerMonitorAddress)) {
            if (write.reg == kSupplyLevelCommand) {
                writes.push_back(write);
            }
        }
        return writes;
    }
    double SimSupplyVolts() const {
        double volts = 0;
        SimFunction<KalendoSim_GetSupplyVoltageFn>("KalendoSim_GetSupplyVoltage")(&volts);
        return volts;
    }
    bool FoutPinHigh() const {
        unsigned char value = 0;
        unsigned char direction = 0;
        SimFunction<KalendoSim_GetUpperPortFn>("KalendoSim_GetUpperPort")(&value, &direction);
        return (value & 0x08) != 0;
    }
    static std::vector<std::string> FileLines(const std::string& name) {
        std::ifstream file(name, std::ios::binary);
        std::stringstream content;
        content << file.rdbuf();
        std::vector<std::string> lines;
        std::string text = content.str();
        size_t start = 0;
        for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
            lines.push_back(text.substr(start, end - start));
        }
        EXPECT_EQ(start, text.size()) << "text after the last line end";
        return lines;
    }
    std::string ShownRecordLine() const {
        return PageText(IDC_POWER_VDD_VOLTAGE).substr(0, 7) + "," +
               PageText(IDC_POWER_VDD_CURRENT).substr(0, 7) + "," +
               PageText(IDC_POWER_BATTERY_VOLTAGE).substr(0, 7) + "," +
               PageText(IDC_POWER_BATTERY_CURRENT).substr(0, 7) + "," +
               PageText(IDC_POWER_TEMPERATURE).substr(0, 7) + ",";
    }

    char savedDir_[MAX_PATH] = {};
};

}  // namespace kalendo
