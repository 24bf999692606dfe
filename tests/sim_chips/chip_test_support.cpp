#include "chip_test_support.h"

#include <cstdio>

namespace kalendo::sim::testing {

namespace {
uint8_t Bcd(int n) {
    return static_cast<uint8_t>((n / 10) << 4 | n % 10);
}
int FromBcd(uint8_t b) {
    return (b >> 4) * 10 + (b & 0x0F);
}
}  // namespace

bool WriteBytes(I2cSlave& chip, uint8_t reg, const std::vector<uint8_t>& data) {
    bool acked = chip.OnStart(false);
    acked = chip.OnWrite(reg) && acked;
    for (const uint8_t byte : data) acked = chip.OnWrite(byte) && acked;
    chip.OnStop();
    return acked;
}

std::vector<uint8_t> ReadBytes(I2cSlave& chip, uint8_t reg, size_t count) {
    chip.OnStart(false);
    chip.OnWrite(reg);
    chip.OnStart(true);
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < count; ++i) {
        bytes.push_back(chip.OnRead());
        chip.OnMasterAck(i + 1 < count);
    }
    chip.OnStop();
    return bytes;
}

uint8_t ReadByte(I2cSlave& chip, uint8_t reg) {
    return ReadBytes(chip, reg, 1)[0];
}

bool operator==(const RtcTime& a, const RtcTime& b) {
    return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour &&
           a.minute == b.minute && a.second == b.second && a.week == b.week;
}

std::string ToText(const RtcTime& t) {
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d week 0x%02X", t.year, t.month,
                  t.day, t.hour, t.minute, t.second, t.week);
    return text;
}

void SetRtcTime(I2cSlave& rtc, const RtcTime& t) {
    const uint8_t control = ReadByte(rtc, 0x0F);
    WriteBytes(rtc, 0x0F, {static_cast<uint8_t>(control | 0x01)});
    WriteBytes(rtc, 0x00,
               {Bcd(t.second), Bcd(t.minute), Bcd(t.hour), t.week, Bcd(t.day), Bcd(t.month),
                Bcd(t.year - 2000)});
    WriteBytes(rtc, 0x0F, {static_cast<uint8_t>(control & 0xFE)});
}

RtcTime ReadRtcTime(I2cSlave& rtc) {
    const std::vector<uint8_t> r = ReadBytes(rtc, 0x00, 7);
    return RtcTime{2000 + FromBcd(r[6]), FromBcd(r[5]), FromBcd(r[4]), FromBcd(r[2]),
                   FromBcd(r[1]),        FromBcd(r[0]), r[3]};
}

const char* ModelName(RtcModel model) {
    return model == RtcModel::Tq5200 ? "TQ5200" : "TQ5100";
}

}  // namespace kalendo::sim::testing
