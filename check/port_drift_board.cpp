#include "check/port_drift_board.h"

#include "bridge/bus_action.h"
#include "power/power_monitor_operations.h"
#include "rtc/rtc_registers.h"

namespace kalendo::check {

bool PortDriftBoard::ReadSeconds(uint8_t* bcd, LatchTiming* latch) {
    ForgetBoardSilence();  // one silent read is no lost board: the run's own rule decides
    BusAction action(kUserActionBusWaitMs);
    uint32_t value = 0;
    const bool ok = rtc_.ReadTimed(kRegSeconds, 8, &value, latch);
    *bcd = static_cast<uint8_t>(value);
    return ok;
}

bool PortDriftBoard::ReadHoursMinutes(uint8_t* hoursBcd, uint8_t* minutesBcd) {
    ForgetBoardSilence();  // one silent read is no lost board: the run's own rule decides
    BusAction action(kUserActionBusWaitMs);
    return rtc_.Read8(kRegHours, hoursBcd) && rtc_.Read8(kRegMinutes, minutesBcd);
}

bool PortDriftBoard::ReadBoardCelsius(double* celsius) {
    ForgetBoardSilence();  // one silent read is no lost board: the run's own rule decides
    BusAction action(kUserActionBusWaitMs);
    double value = 0;
    // Taken only when the monitor still identifies itself after it: another chip could answer
    // at its address.
    if (!ReadMeasurement(monitor_, kTemperature, &value) || !PowerMonitorIdentifies(monitor_)) {
        return false;
    }
    *celsius = value;
    return true;
}

bool PortDriftBoard::BoardPresent() {
    ForgetBoardSilence();  // one silent read is no lost board: the run's own rule decides
    BusAction action(kUserActionBusWaitMs);
    return PowerMonitorIdentifies(monitor_) || action.BusBusy();
}

}  // namespace kalendo::check
