#include "sim/bus/i2c_timing_checker.h"

#include <cstdio>

namespace kalendo::sim {

namespace {

const I2cTimingLimit kLimits[kI2cTimingCount] = {
    {I2cTiming::StartHold, "tHD;STA", 600, 4000}, {I2cTiming::RestartSetup, "tSU;STA", 600, 4700},
    {I2cTiming::StopSetup, "tSU;STO", 600, 4000}, {I2cTiming::ClockHigh, "tHIGH", 600, 4000},
    {I2cTiming::ClockLow, "tLOW", 1300, 4700},    {I2cTiming::BusFree, "tBUF", 1300, 4700},
    {I2cTiming::DataSetup, "tSU;DAT", 100, 250},
};

}  // namespace

const I2cTimingLimit& LimitOf(I2cTiming timing) {
    return kLimits[static_cast<int>(timing)];
}

void I2cTimingChecker::Clear() {
    violations_.clear();
    violationCount_ = 0;
    for (int64_t& s : shortestNs_) s = -1;
}

void I2cTimingChecker::Measure(I2cTiming timing, int64_t fromPs, int64_t toPs) {
    if (fromPs < 0) return;
    const int64_t ns = (toPs - fromPs) / 1000;
    int64_t& shortest = shortestNs_[static_cast<int>(timing)];
    if (shortest < 0 || ns < shortest) shortest = ns;
    if (ns >= LimitOf(timing).fastNs) return;
    const I2cTimingViolation v{toPs, timing, ns};
    ++violationCount_;
    if (violations_.size() < kKeptViolations) violations_.push_back(v);
    if (onViolation_) onViolation_(v);
}

// Levels change one line at a time (the bus settles SCL and SDA separately, even at one time).
void I2cTimingChecker::OnLevels(int64_t ps, bool scl, bool sda) {
    if (scl != scl_) {
        if (scl) {
            // Rising: the end of a low time and of the data set-up.
            if (busy_) {
                Measure(I2cTiming::ClockLow, sclFallPs_, ps);
                Measure(I2cTiming::DataSetup, sdaChangeLowPs_, ps);
            }
            sclRisePs_ = ps;
            sdaMovedWhileHigh_ = false;
        } else {
            // Falling: a data clock's high time, or the hold of the START just made.
            if (busy_ && !sdaMovedWhileHigh_) Measure(I2cTiming::ClockHigh, sclRisePs_, ps);
            if (busy_ && startPs_ >= sclRisePs_) Measure(I2cTiming::StartHold, startPs_, ps);
            sclFallPs_ = ps;
            sdaChangeLowPs_ = -1;
        }
        scl_ = scl;
    }
    if (sda != sda_) {
        if (!scl_) {
            sdaChangeLowPs_ = ps;
        } else if (!sda) {
            // START, or a repeated START.
            Measure(I2cTiming::RestartSetup, sclRisePs_, ps);
            if (!busy_) Measure(I2cTiming::BusFree, stopPs_, ps);
            busy_ = true;
            startPs_ = ps;
            sdaMovedWhileHigh_ = true;
        } else {
            // STOP.
            if (busy_) Measure(I2cTiming::StopSetup, sclRisePs_, ps);
            busy_ = false;
            stopPs_ = ps;
            sdaMovedWhileHigh_ = true;
        }
        sda_ = sda;
    }
}

std::string DescribeViolation(const I2cTimingViolation& v) {
    const I2cTimingLimit& limit = LimitOf(v.timing);
    const int64_t micros = v.ps / 1'000'000;
    char line[96];
    std::snprintf(line, sizeof line, "%07lld.%06lld TIMING %s %lld ns < %lld ns (fast mode)",
                  static_cast<long long>(micros / 1'000'000),
                  static_cast<long long>(micros % 1'000'000), limit.name,
                  static_cast<long long>(v.measuredNs), static_cast<long long>(limit.fastNs));
    return line;
}

std::string DescribeMargins(const I2cTimingChecker& checker) {
    std::string text;
    for (const I2cTimingLimit& limit : kLimits) {
        const int64_t shortest = checker.ShortestNs(limit.timing);
        char line[128];
        if (shortest < 0) {
            std::snprintf(line, sizeof line, "%s not seen\n", limit.name);
        } else {
            std::snprintf(line, sizeof line,
                          "%s shortest %lld ns: fast mode %+lld ns, standard mode %+lld ns\n",
                          limit.name, static_cast<long long>(shortest),
                          static_cast<long long>(shortest - limit.fastNs),
                          static_cast<long long>(shortest - limit.standardNs));
        }
        text += line;
    }
    return text;
}

}  // namespace kalendo::sim
