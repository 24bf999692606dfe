// Writes the decoded bus events as short tokens, so a test can compare a whole transaction:
// "S" START, "Sr" repeated START, "A32W+" address 0x32 write acknowledged, "W0F+" a written
// byte, "R11-" a read byte not acknowledged by the master, "P" STOP.
#pragma once

#include <cstdio>
#include <string>

#include "sim/bus/i2c_bus.h"

namespace kalendo::sim::testing {

class BusEventLog : public BusObserver {
  public:
    void OnStart(int64_t, bool repeated) override { Add(repeated ? "Sr" : "S"); }
    void OnAddress(int64_t, uint8_t address, bool read, bool ack) override {
        char t[16];
        std::snprintf(t, sizeof t, "A%02X%c%c", address, read ? 'R' : 'W', ack ? '+' : '-');
        Add(t);
    }
    void OnByte(int64_t, uint8_t value, bool read, bool ack) override {
        char t[16];
        std::snprintf(t, sizeof t, "%c%02X%c", read ? 'R' : 'W', value, ack ? '+' : '-');
        Add(t);
    }
    void OnStop(int64_t) override { Add("P"); }

    const std::string& Text() const { return text_; }
    void Clear() { text_.clear(); }

  private:
    void Add(const std::string& token) { text_ += text_.empty() ? token : " " + token; }
    std::string text_;
};

}  // namespace kalendo::sim::testing
