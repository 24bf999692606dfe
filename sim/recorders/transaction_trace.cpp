#include "sim/recorders/transaction_trace.h"

#include <chrono>

namespace kalendo::sim {

namespace {

int64_t WallMicros() {
    using namespace std::chrono;
    return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

}  // namespace

void TransactionTrace::OnStart(int64_t ps, bool repeated) {
    if (repeated && !line_.empty()) {
        line_ += " RESTART";
        return;
    }
    Flush();
    if (processId_) wallStartUs_ = wallStopUs_ = WallMicros();
    char stamp[32];
    const int64_t micros = ps / 1'000'000;
    std::snprintf(stamp, sizeof stamp, "%07lld.%06lld", static_cast<long long>(micros / 1'000'000),
                  static_cast<long long>(micros % 1'000'000));
    line_ = std::string(stamp) + " START";
}

void TransactionTrace::OnAddress(int64_t, uint8_t address, bool read, bool ack) {
    char t[32];
    std::snprintf(t, sizeof t, " 0x%02X %c %s", address, read ? 'R' : 'W', ack ? "ACK" : "NACK");
    line_ += t;
}

void TransactionTrace::OnByte(int64_t, uint8_t value, bool, bool ack) {
    char t[32];
    std::snprintf(t, sizeof t, " 0x%02X %s", value, ack ? "ACK" : "NACK");
    line_ += t;
}

void TransactionTrace::OnStop(int64_t) {
    if (line_.empty()) return;
    line_ += " STOP";
    if (processId_) wallStopUs_ = WallMicros();
    Flush();
}

void TransactionTrace::WriteLine(const std::string& text) {
    if (!out_) return;
    std::fprintf(out_, "%s\n", text.c_str());
    std::fflush(out_);
}

void TransactionTrace::Flush() {
    if (line_.empty()) return;
    if (out_ && processId_) {
        // One write per line: appends of several processes never split it.
        std::fprintf(out_, "pid %ld wall %lld %lld %s\n", processId_,
                     static_cast<long long>(wallStartUs_), static_cast<long long>(wallStopUs_),
                     line_.c_str());
        std::fflush(out_);
    } else if (out_) {
        std::fprintf(out_, "%s\n", line_.c_str());
        std::fflush(out_);
    }
    line_.clear();
}

}  // namespace kalendo::sim
