// Checks the bus timing the master produces against the I2C limits: START hold, repeated-START
// set-up, STOP set-up, SCL high and low times, bus-free time and data set-up. The chips are
// rated for fast mode (400 kHz), so a fast-mode shortfall is a violation; the shortest time seen
// for each parameter is kept too, so the margins to both fast and standard mode can be read.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "sim/bus/i2c_bus.h"

namespace kalendo::sim {

enum class I2cTiming {
    StartHold,     // tHD;STA: SDA falls (START) to SCL falls
    RestartSetup,  // tSU;STA: SCL rises to SDA falls for a START
    StopSetup,     // tSU;STO: SCL rises to SDA rises (STOP)
    ClockHigh,     // tHIGH: SCL high during a data or acknowledge bit
    ClockLow,      // tLOW: SCL low
    BusFree,       // tBUF: STOP to the next START
    DataSetup,     // tSU;DAT: SDA changes (SCL low) to SCL rises
};
constexpr int kI2cTimingCount = 7;

struct I2cTimingLimit {
    I2cTiming timing;
    const char* name;    // as data sheets write it
    int64_t fastNs;      // fast mode (400 kHz) minimum
    int64_t standardNs;  // standard mode (100 kHz) minimum
};
// The minimums of the I2C-bus standard (NXP UM10204), in the order of I2cTiming.
const I2cTimingLimit& LimitOf(I2cTiming timing);

struct I2cTimingViolation {
    int64_t ps;  // wire time of the edge that ended the interval
    I2cTiming timing;
    int64_t measuredNs;
};

class I2cTimingChecker : public BusObserver {
  public:
    static constexpr size_t kKeptViolations = 1000;

    void OnLevels(int64_t ps, bool scl, bool sda) override;

    // Fast-mode violations, oldest first (at most kKeptViolations; the count goes on).
    const std::vector<I2cTimingViolation>& Violations() const { return violations_; }
    uint64_t ViolationCount() const { return violationCount_; }
    // The shortest interval seen per parameter, in ns; -1 when none was measured yet.
    int64_t ShortestNs(I2cTiming timing) const { return shortestNs_[static_cast<int>(timing)]; }
    // Told about each violation as it happens (the trace writes it).
    void SetViolationHandler(std::function<void(const I2cTimingViolation&)> handler) {
        onViolation_ = std::move(handler);
    }
    void Clear();

  private:
    void Measure(I2cTiming timing, int64_t fromPs, int64_t toPs);

    // The bus idles with both lines pulled up; the checker is attached to an idle bus.
    bool scl_ = true;
    bool sda_ = true;
    bool busy_ = false;               // between a START and its STOP
    bool sdaMovedWhileHigh_ = false;  // a START or STOP since SCL rose
    int64_t sclRisePs_ = -1;
    int64_t sclFallPs_ = -1;
    int64_t startPs_ = -1;
    int64_t stopPs_ = -1;
    int64_t sdaChangeLowPs_ = -1;  // last SDA change while SCL was low, since SCL fell
    std::vector<I2cTimingViolation> violations_;
    uint64_t violationCount_ = 0;
    int64_t shortestNs_[kI2cTimingCount] = {-1, -1, -1, -1, -1, -1, -1};
    std::function<void(const I2cTimingViolation&)> onViolation_;
};

// One line for the trace and the control API, for example
//   0000000.003069 TIMING tSU;STA 400 ns < 600 ns (fast mode)
std::string DescribeViolation(const I2cTimingViolation& v);
// One line per parameter: the shortest time seen and its margins to fast and standard mode.
std::string DescribeMargins(const I2cTimingChecker& checker);

}  // namespace kalendo::sim
