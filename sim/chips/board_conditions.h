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
    // Crystal error: a constant offset, and a tuning-fork crystal's parabola that slows the
    // oscillator by tempco * (T - 25)^2 ppm away from its 25-degree turnover.
    double crystalPpm = 0.0;
    double crystalTempcoPpmPerC2 = 0.0;
};

constexpr double kCrystalTurnoverCelsius = 25.0;

// The RTC oscillator's frequency error now, in parts per million (positive: it runs fast).
inline double CrystalErrorPpm(const BoardConditions& board) {
    const double fromTurnover = board.boardCelsius - kCrystalTurnoverCelsius;
    return board.crystalPpm - board.crystalTempcoPpmPerC2 * fromTurnover * fromTurnover;
}

// Below this supply the RTC's power switch hands over to the backup battery (a typical
// switch-over level for low-power RTCs; the program only sees it through the battery current).
constexpr double kRtcSwitchOverVolts = 1.6;

}  // namespace kalendo::sim
