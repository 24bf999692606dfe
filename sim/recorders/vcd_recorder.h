// Records SCL, SDA and the FOUT gate pin (high port bit 3) as a VCD waveform with a 1 ns time
// scale, at the wire times the engine produces. Logic-analyser software (PulseView, GTKWave)
// opens it and can decode scl/sda as I2C.
#pragma once

#include <cstdio>

#include "sim/bus/i2c_bus.h"
#include "sim/engine/serial_engine.h"

namespace kalendo::sim {

class VcdRecorder : public BusObserver, public HighPortObserver {
  public:
    // Writes the header and the initial values at time ps. out is not owned.
    VcdRecorder(std::FILE* out, int64_t ps, bool scl, bool sda);

    void OnLevels(int64_t ps, bool scl, bool sda) override;
    void OnHighPort(int64_t ps, uint8_t value, uint8_t direction) override;

  private:
    void Change(int64_t ps, char id, char level);

    std::FILE* out_;
    int64_t lastNs_ = -1;
    char scl_ = 'x';
    char sda_ = 'x';
    char fout_ = 'x';
};

}  // namespace kalendo::sim
