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
    // Aging: the error grows by this much a year on top of the offset (the RTC chip keeps what
    // has accumulated, since it belongs to the crystal, not to the board's settings).
    double crystalAgingPpmPerYear = 0.0;
    // The board has USB power; while it is unplugged the supply rail is off and the RTC runs
    // from its battery.
    bool usbPowered = true;

    // The mounted part as a sample, not its data sheet: each figure can be set on either side of
    // the model file's limit. The model file gives supply 2.5 to 5.5 V, timekeeping (VCLK) 1.6 to
    // 5.5 V and 0.8 uA typical at 3 V for the TQ5100; 1.6 to 5.5 V, 1.1 to 5.5 V and 0.45 uA for
    // the TQ5200. One default sample serves both: guaranteed limits are met with margin by a
    // typical part, and the check finds either side when a test moves a figure.
    // Below this VDD the RTC's I2C interface is unpowered and acknowledges nothing; the
    // oscillator and counters run on (from the battery once switched over).
    double rtcInterfaceMinVolts = 1.6;
    // Below this on the rail that carries it (VDD, or the battery once switched over) the RTC's
    // oscillator stops and its time stands still until the rail comes back: a data sheet
    // guarantees timekeeping only down to its VCLK minimum (1.6 V, 1.1 V), and a typical part
    // keeps going a little lower.
    double rtcTimekeepingMinVolts = 1.0;
    // The board's power switch hands the RTC to the battery when VDD falls below the first
    // level, and back when VDD rises above the second (hysteresis, so a supply sitting at the
    // threshold does not chatter). A rising level below the falling one counts as equal to it.
    double switchToBatteryVolts = 1.9;
    double switchToSupplyVolts = 2.0;
    // Timekeeping current of this sample, drawn from VDD or from the battery, whichever carries
    // the RTC (flat over the supply range: the figure the data sheet quotes at 3 V).
    double rtcSupplyMicroamps = 0.45;
    double rtcBatteryMicroamps = 0.32;
};

constexpr double kCrystalTurnoverCelsius = 25.0;

// The RTC oscillator's frequency error now, less what it has aged, in parts per million
// (positive: it runs fast).
inline double CrystalErrorPpm(const BoardConditions& board) {
    const double fromTurnover = board.boardCelsius - kCrystalTurnoverCelsius;
    return board.crystalPpm - board.crystalTempcoPpmPerC2 * fromTurnover * fromTurnover;
}

// Where the power switch leaves the RTC after VDD moved to supplyVolts, from where it was.
inline bool RtcOnBatteryAfter(const BoardConditions& board, bool wasOnBattery,
                              double supplyVolts) {
    if (wasOnBattery) {
        const double rising = board.switchToSupplyVolts > board.switchToBatteryVolts
                                  ? board.switchToSupplyVolts
                                  : board.switchToBatteryVolts;
        return !(supplyVolts > rising);
    }
    return supplyVolts < board.switchToBatteryVolts;
}

}  // namespace kalendo::sim
