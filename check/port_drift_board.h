// The drift run's reads over the board operations' ports. Each read is a bus action of its own:
// a run of minutes shares the bus with the window, and a read that found the bus busy or the
// board silent must not stop the reads after it.
#pragma once

#include "bridge/register_port.h"
#include "check/drift_measurement.h"

namespace kalendo::check {

class PortDriftBoard final : public DriftBoard {
  public:
    PortDriftBoard(RegisterPort& rtc, RegisterPort& monitor) : rtc_(rtc), monitor_(monitor) {}
    // In one burst, its answer sent at once where the port asks for that.
    bool ReadSeconds(uint8_t* bcd, LatchTiming* latch) override;
    bool ReadHoursMinutes(uint8_t* hoursBcd, uint8_t* minutesBcd) override;
    bool ReadBoardCelsius(double* celsius) override;
    // The power monitor identifies itself; a bus another program kept counts as present (the
    // run's own time limit decides then).
    bool BoardPresent() override;

  private:
    RegisterPort& rtc_;
    RegisterPort& monitor_;
};

}  // namespace kalendo::check
