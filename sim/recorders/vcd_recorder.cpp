#include "sim/recorders/vcd_recorder.h"

namespace kalendo::sim {

namespace {
constexpr char kSclId = '!';
constexpr char kSdaId = '"';
constexpr char kFoutId = '#';
constexpr uint8_t kFoutGatePin = 0x08;
}  // namespace

VcdRecorder::VcdRecorder(std::FILE* out, int64_t ps, bool scl, bool sda) : out_(out) {
    scl_ = scl ? '1' : '0';
    sda_ = sda ? '1' : '0';
    fout_ = 'z';  // the high port starts as inputs
    lastNs_ = ps / 1000;
    if (!out_) return;
    std::fprintf(out_,
                 "$version Kalendo simulated evaluation board $end\n"
                 "$timescale 1ns $end\n"
                 "$scope module board $end\n"
                 "$var wire 1 %c scl $end\n"
                 "$var wire 1 %c sda $end\n"
                 "$var wire 1 %c fout_gate $end\n"
                 "$upscope $end\n"
                 "$enddefinitions $end\n"
                 "#%lld\n"
                 "$dumpvars\n%c%c\n%c%c\n%c%c\n$end\n",
                 kSclId, kSdaId, kFoutId, static_cast<long long>(lastNs_), scl_, kSclId, sda_,
                 kSdaId, fout_, kFoutId);
    std::fflush(out_);
}

void VcdRecorder::OnLevels(int64_t ps, bool scl, bool sda) {
    const char s = scl ? '1' : '0';
    const char d = sda ? '1' : '0';
    if (s != scl_) {
        scl_ = s;
        Change(ps, kSclId, s);
    }
    if (d != sda_) {
        sda_ = d;
        Change(ps, kSdaId, d);
    }
}

void VcdRecorder::OnHighPort(int64_t ps, uint8_t value, uint8_t direction) {
    const char f = !(direction & kFoutGatePin) ? 'z' : (value & kFoutGatePin) ? '1' : '0';
    if (f == fout_) return;
    fout_ = f;
    Change(ps, kFoutId, f);
}

void VcdRecorder::Change(int64_t ps, char id, char level) {
    if (!out_) return;
    // Time only moves forward in a VCD file; changes in the same nanosecond share a stamp.
    const int64_t ns = ps / 1000 > lastNs_ ? ps / 1000 : lastNs_;
    if (ns != lastNs_) {
        std::fprintf(out_, "#%lld\n", static_cast<long long>(ns));
        lastNs_ = ns;
    }
    std::fprintf(out_, "%c%c\n", level, id);
}

}  // namespace kalendo::sim
