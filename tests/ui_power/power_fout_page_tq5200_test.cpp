// The Power and FOUT tab with the TQ5200 chosen: no battery rows on the page or in the log, yet
// the battery channels still decide whether the battery is in use.
#include "tests/ui_power/power_fout_page_fixture.h"

namespace kalendo {
namespace {

constexpr int kTq5200 = 1;

TEST_F(PowerFoutPageTest, Tq5200HidesBatteryRowsAndLogsThreeColumns) {
    StartOnTab(kPowerTab);
    ChooseModel(kTq5200);
    Connect();
    for (int id : {IDC_POWER_BATTERY_VOLTAGE_LABEL, IDC_POWER_BATTERY_VOLTAGE,
                   IDC_POWER_BATTERY_CURRENT_LABEL, IDC_POWER_BATTERY_CURRENT}) {
        EXPECT_FALSE(IsWindowVisible(PageItem(kPowerTab, id))) << id;
    }
    EXPECT_TRUE(IsWindowVisible(PageItem(kPowerTab, IDC_POWER_VDD_CURRENT)));

    Choose(IDC_POWER_AVERAGING, 0);
    MeasureTicks(6);
    ClickPage(IDC_POWER_LOGGING);
    const std::string name = Page().Logger().logFileName();
    const std::string record = PageText(IDC_POWER_VDD_VOLTAGE) + "," +
                               PageText(IDC_POWER_VDD_CURRENT) + "," +
                               PageText(IDC_POWER_TEMPERATURE) + ",";
    ClickPage(IDC_POWER_LOGGING);
    const std::vector<std::string> lines = FileLines(name);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1], "VDD Voltage,VDD Current,Temperature");
    EXPECT_EQ(lines[2], record);
    EXPECT_EQ(lines[3], record);
    DeleteFileA(name.c_str());

    // Below the switch-over voltage the hidden battery channels still light the lamp.
    DragTo(10);
    TickPage(kPowerTab, kSettleTimer);
    TickPage(kPowerTab, kSettleTimer);
    MeasureTicks(6);
    EXPECT_TRUE(BatteryInUse);
    Tick();
    EXPECT_TRUE(ShowsGreenLamp(IDC_MAIN_BATTERY_LAMP));
}

}  // namespace
}  // namespace kalendo
