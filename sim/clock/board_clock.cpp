#include "sim/clock/board_clock.h"

namespace kalendo::sim {

BoardClock::BoardClock() : start_(std::chrono::steady_clock::now()) {}

int64_t BoardClock::NowPs() const {
    if (virtual_) return virtualPs_;
    const auto elapsed = std::chrono::steady_clock::now() - start_;
    return std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count() * 1000;
}

void BoardClock::UseVirtual(bool on) {
    if (on == virtual_) return;
    if (on) {
        virtualPs_ = NowPs();
        virtual_ = true;
    } else {
        // Real time resumes from here: shift the origin so it does not jump back.
        const int64_t now = virtualPs_;
        virtual_ = false;
        start_ = std::chrono::steady_clock::now() -
                 std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                     std::chrono::nanoseconds(now / 1000));
    }
}

void BoardClock::AdvancePs(int64_t ps) {
    if (virtual_ && ps > 0) virtualPs_ += ps;
}

void BoardClock::AdvanceToPs(int64_t ps) {
    if (virtual_ && ps > virtualPs_) virtualPs_ = ps;
}

}  // namespace kalendo::sim
