// What the two chips share on the evaluation board: the battery, the board temperature and a
// forced supply rail. The power monitor generates the supply itself; the override stands for a
// failing or external supply.
#pragma once

namespace kalendo::sim {

struct BoardConditions {
    double batteryVolts = 3.0;
    double boardCelsius = 25.0;
    bool supplyOverridden = false;
    double supplyOverrideVolts = 0.0;
};

// Below this supply the RTC's power switch hands over to the backup battery (a typical
// switch-over level for low-power RTCs; the program only sees it through the battery current).
constexpr double kRtcSwitchOverVolts = 1.6;

}  // namespace kalendo::sim
