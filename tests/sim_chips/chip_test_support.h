// Drives the chips the way the bridge's bus does (START, address, bytes, repeated START, STOP)
// on a virtual clock that moves only when a test advances it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/chips/evaluation_board_chips.h"
#include "sim/bus/i2c_slave.h"
#include "sim/clock/sim_clock.h"

namespace kalendo::sim::testing {

class VirtualClock : public SimClock {
  public:
    int64_t NowMicros() const override { return now_; }
    void AdvanceMicros(int64_t micros) { now_ += micros; }
    void AdvanceSeconds(int64_t seconds) { now_ += seconds * 1000000; }

  private:
    int64_t now_ = 0;
};

// One write transaction: START, register, data, STOP. True when every byte was acknowledged.
bool WriteBytes(I2cSlave& chip, uint8_t reg, const std::vector<uint8_t>& data);
// Register number, repeated START, n bytes read (the last one not acknowledged), STOP.
std::vector<uint8_t> ReadBytes(I2cSlave& chip, uint8_t reg, size_t count);
uint8_t ReadByte(I2cSlave& chip, uint8_t reg);

struct RtcTime {
    int year;  // 2000..2099
    int month;
    int day;
    int hour;
    int minute;
    int second;
    uint8_t week;  // one-hot, Sunday = 0x01
};
bool operator==(const RtcTime& a, const RtcTime& b);
std::string ToText(const RtcTime& t);  // for failure messages

// Sets the time the way the program does: guard set, fields written, guard cleared.
void SetRtcTime(I2cSlave& rtc, const RtcTime& t);
RtcTime ReadRtcTime(I2cSlave& rtc);

const char* ModelName(RtcModel model);

}  // namespace kalendo::sim::testing
