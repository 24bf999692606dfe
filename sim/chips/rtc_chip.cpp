#include "sim/chips/rtc_chip.h"

#include <algorithm>
#include <cmath>

namespace kalendo::sim {

using namespace rtc_bits;
using namespace rtc_reg;

namespace {

constexpr int64_t kMicrosPerSecond = 1000000;
constexpr int kSecondsPerMinute = 60;
// Without a match in 62 days an alarm can never match (every day of month comes round within
// two months, every week day within a week), so a long jump scans at most this many minutes.
constexpr int64_t kAlarmScanMinutes = 62LL * 24 * 60;

// Unused bits of the time registers read 0.
constexpr std::array<uint8_t, 7> kTimeFieldMask = {0x7F, 0x7F, 0x3F, 0x7F, 0x3F, 0x1F, 0xFF};

constexpr uint32_t kMaxTimerCount = 0xFFFFFF;  // the wider counter, 24 bits

enum TimerSource : uint8_t {
    kSource4096Hz = 0,
    kSource64Hz = 1,
    kSourceSecond = 2,
    kSourceMinute = 3
};

// Edges of a rate-hertz clock derived from the crystal up to a running time, split so that
// centuries of microseconds do not overflow.
int64_t OscillatorEdges(int64_t micros, int64_t hertz) {
    return (micros / kMicrosPerSecond) * hertz +
           (micros % kMicrosPerSecond) * hertz / kMicrosPerSecond;
}

}  // namespace

RtcChip::RtcChip(const SimClock& clock, const BoardConditions& board)
    : clock_(clock), board_(board), lastSyncMicros_(clock.NowMicros()) {
    PowerOnReset();
}

// --- registers -----------------------------------------------------------------------------

uint8_t RtcChip::ReadRegister(uint8_t reg) {
    return reg < kFirstModelRegister ? ReadSharedRegister(reg) : ReadModelRegister(reg);
}

void RtcChip::WriteRegister(uint8_t reg, uint8_t value) {
    if (reg < kFirstModelRegister) {
        WriteSharedRegister(reg, value);
    } else {
        WriteModelRegister(reg, value);
    }
}

uint8_t RtcChip::ReadSharedRegister(uint8_t reg) const {
    return regs_[reg];
}

void RtcChip::WriteSharedRegister(uint8_t reg, uint8_t value) {
    const uint8_t old = regs_[reg];
    switch (reg) {
        case kSeconds:
        case kMinutes:
        case kHours:
        case kWeek:
        case kDay:
        case kMonth:
        case kYear:
            regs_[reg] = value & kTimeFieldMask[reg];  // unused bits read 0
            break;
        case kTimerCounter0:
            regs_[reg] = value;
            PresetWritten();
            break;
        case kTimerCounter1:
            regs_[reg] = value & CounterHighMask();  // bits beyond the counter width read 0
            PresetWritten();
            break;
        case kExtension:
            regs_[reg] = value;
            if (!(old & EXT_TIMER_ENABLE) && (value & EXT_TIMER_ENABLE)) {
                timerCount_ = TimerPreset();  // starting loads the preset
            }
            break;
        case kFlag:
            // A flag is only cleared by writing 0; writing 1 leaves it as it is.
            regs_[reg] = (old & value & FLAG_BITS) | (value & FlagStorageBits());
            break;
        case kControl:
            regs_[reg] = value;
            if ((old & CTRL_WRITE_GUARD) && !(value & CTRL_WRITE_GUARD)) {
                subsecondMicros_ = 0;  // releasing the guard starts the second from .000
            }
            break;
        default:  // RAM and alarm registers: plain storage, all eight bits
            regs_[reg] = value;
            break;
    }
}

void RtcChip::PresetWritten() {
    if (!(regs_[kExtension] & EXT_TIMER_ENABLE)) timerCount_ = TimerPreset();
}

double RtcChip::FoutFrequencyHz() const {
    switch ((regs_[kExtension] & EXT_FOUT_FREQ) >> 2) {
        case 1:
            return 1024.0;
        case 2:
            return 1.0;
        default:
            return 32768.0;  // 00, and 11 which selects the crystal frequency as well
    }
}

// --- time ----------------------------------------------------------------------------------

void RtcChip::Sync() {
    const int64_t now = clock_.NowMicros();
    const int64_t elapsed = now - lastSyncMicros_;
    lastSyncMicros_ = now;
    // Every change of the rails syncs first, so the rail now is the one of the whole interval.
    // Below the timekeeping minimum the oscillator stood still: that time is lost.
    if (supply_ != nullptr && supply_->CarryingVolts() < board_.rtcTimekeepingMinVolts) {
        AgeBy(elapsed, board_.crystalAgingPpmPerYear);
        return;
    }
    if (elapsed > 0) AdvanceBy(elapsed);
}

void RtcChip::AgeBy(int64_t hostMicros, double agingPpmPerYear) {
    if (hostMicros > 0) crystalAgedPpm_ += agingPpmPerYear * hostMicros / kMicrosPerYear;
}

void RtcChip::AdvanceBy(int64_t hostMicros) {
    AdvanceBy(hostMicros, CrystalErrorPpm(board_), board_.crystalAgingPpmPerYear);
}

void RtcChip::AdvanceBy(int64_t hostMicros, double basePpm, double agingPpmPerYear) {
    if (hostMicros <= 0) return;
    // The error grows linearly while it ages, so over the span it gains the error at the start
    // times the span plus half the growth times the span: exact for one step of any length.
    const double span = static_cast<double>(hostMicros);
    const double growth = agingPpmPerYear * span / kMicrosPerYear;
    // The error's fraction of a microsecond is carried to the next call, so small steps lose
    // nothing of it; dividing by a million keeps whole-ppm errors exact.
    const double gained = span * (basePpm + crystalAgedPpm_) / 1e6 + span * growth / 2 / 1e6 +
                          crystalRemainderMicros_;
    crystalAgedPpm_ += growth;
    const double wholeGained = std::floor(gained);
    crystalRemainderMicros_ = gained - wholeGained;
    const int64_t micros = hostMicros + static_cast<int64_t>(wholeGained);
    if (micros <= 0) return;
    const int64_t oscillatorBefore = oscillatorMicros_;
    oscillatorMicros_ += micros;

    int64_t secondUpdates = 0;
    int64_t minuteUpdates = 0;
    if (!(regs_[kControl] & CTRL_WRITE_GUARD)) {  // the guard holds the clock and its fraction
        const int64_t total = subsecondMicros_ + micros;
        secondUpdates = total / kMicrosPerSecond;
        subsecondMicros_ = total % kMicrosPerSecond;
        minuteUpdates = AdvanceClock(secondUpdates);
    }

    if (!(regs_[kExtension] & EXT_TIMER_ENABLE)) return;
    int64_t ticks = 0;
    switch (regs_[kExtension] & EXT_TIMER_CLOCK) {
        case kSource4096Hz:
            ticks =
                OscillatorEdges(oscillatorMicros_, 4096) - OscillatorEdges(oscillatorBefore, 4096);
            break;
        case kSource64Hz:
            ticks = OscillatorEdges(oscillatorMicros_, 64) - OscillatorEdges(oscillatorBefore, 64);
            break;
        case kSourceSecond:
            ticks = secondUpdates;
            break;
        default:
            ticks = minuteUpdates;
            break;
    }
    CountDownTimer(ticks);
}

CalendarFields RtcChip::ReadCalendar() const {
    CalendarFields f;
    f.second = BcdToNumber(regs_[kSeconds]);
    f.minute = BcdToNumber(regs_[kMinutes]);
    f.hour = BcdToNumber(regs_[kHours]);
    f.weekBits = regs_[kWeek];
    f.day = BcdToNumber(regs_[kDay]);
    f.month = BcdToNumber(regs_[kMonth]);
    f.year = BcdToNumber(regs_[kYear]);
    return f;
}

void RtcChip::WriteCalendar(const CalendarFields& now, const CalendarFields& before) {
    // Only fields that counted are re-encoded: a field the master wrote with a non-decimal
    // nibble keeps its byte until it counts.
    if (now.second != before.second) regs_[kSeconds] = NumberToBcd(now.second);
    if (now.minute != before.minute) regs_[kMinutes] = NumberToBcd(now.minute);
    if (now.hour != before.hour) regs_[kHours] = NumberToBcd(now.hour);
    if (now.weekBits != before.weekBits) regs_[kWeek] = now.weekBits;
    if (now.day != before.day) regs_[kDay] = NumberToBcd(now.day);
    if (now.month != before.month) regs_[kMonth] = NumberToBcd(now.month);
    if (now.year != before.year) regs_[kYear] = NumberToBcd(now.year);
}

bool RtcChip::AlarmMatches(const CalendarFields& now) const {
    const uint8_t minute = regs_[kMinuteAlarm];
    const uint8_t hour = regs_[kHourAlarm];
    const uint8_t day = regs_[kWeekDayAlarm];
    if (!(minute & ALARM_IGNORE) && BcdToNumber(minute & ALARM_VALUE) != now.minute) return false;
    if (!(hour & ALARM_IGNORE) && BcdToNumber(hour & ALARM_VALUE) != now.hour) return false;
    if (day & ALARM_IGNORE) return true;
    if (regs_[kExtension] & EXT_DAY_ALARM) return BcdToNumber(day & ALARM_VALUE) == now.day;
    return (day & now.weekBits & ALARM_VALUE) != 0;  // week mode: any of the chosen days
}

int64_t RtcChip::AdvanceClock(int64_t seconds) {
    if (seconds <= 0) return 0;
    CalendarFields f = ReadCalendar();
    const CalendarFields before = f;
    // A seconds value of 60 or more (written) wraps at its next increment.
    const int64_t toMinute = f.second >= kSecondsPerMinute ? 1 : kSecondsPerMinute - f.second;
    if (seconds < toMinute) {
        f.second += static_cast<int>(seconds);
        WriteCalendar(f, before);
        return 0;
    }
    seconds -= toMinute;
    const int64_t minuteUpdates = 1 + seconds / kSecondsPerMinute;
    int64_t counted = 0;
    // The alarm compares at each minute update; once its flag is up nothing more can change.
    if (!(regs_[kFlag] & FLAG_ALARM)) {
        const int64_t scan = std::min(minuteUpdates, kAlarmScanMinutes);
        while (counted < scan) {
            f.AddMinutes(1);
            ++counted;
            if (AlarmMatches(f)) {
                regs_[kFlag] |= FLAG_ALARM;
                break;
            }
        }
    }
    f.AddMinutes(minuteUpdates - counted);
    f.second = static_cast<int>(seconds % kSecondsPerMinute);
    WriteCalendar(f, before);
    return minuteUpdates;
}

void RtcChip::CountDownTimer(int64_t ticks) {
    const uint32_t preset = TimerPreset();
    if (ticks <= 0 || preset == 0) return;  // a counter of 0 never fires
    if (timerCount_ == 0) timerCount_ = preset;
    if (ticks < timerCount_) {
        timerCount_ -= static_cast<uint32_t>(ticks);
        return;
    }
    ticks -= timerCount_;
    regs_[kFlag] |= FLAG_TIMER;  // reached zero: raise the flag and reload from the preset
    timerCount_ = preset - static_cast<uint32_t>(ticks % preset);
}

// --- bus callbacks -------------------------------------------------------------------------

// Below its interface minimum the chip leaves SDA alone: no acknowledge, so the master sees
// an absent device. Time is not lost meanwhile: Sync catches up at the next access.
bool RtcChip::InterfacePowered() const {
    return supply_ == nullptr || !(supply_->SupplyVolts() < board_.rtcInterfaceMinVolts);
}

bool RtcChip::OnStart(bool read) {
    if (!InterfacePowered()) return false;
    Sync();  // a read returns the time latched at START, so a burst read is consistent
    pointerExpected_ = !read;
    return true;
}

bool RtcChip::OnWrite(uint8_t byte) {
    if (!InterfacePowered()) return false;
    Sync();
    if (pointerExpected_) {
        pointer_ = byte & kPointerMask;  // only the low five address bits are decoded
        pointerExpected_ = false;
        return true;
    }
    WriteRegister(pointer_, byte);  // read-only registers acknowledge and ignore the byte
    pointer_ = (pointer_ + 1) & kPointerMask;
    return true;
}

uint8_t RtcChip::OnRead() {
    const uint8_t value = ReadRegister(pointer_);
    pointer_ = (pointer_ + 1) & kPointerMask;
    return value;
}

void RtcChip::OnStop() {
    pointerExpected_ = false;
}

// --- reset and state -----------------------------------------------------------------------

void RtcChip::PowerOnReset() {
    regs_.fill(0);
    regs_[kWeek] = 0x40;  // 2000-01-01 was a Saturday
    regs_[kDay] = 0x01;
    regs_[kMonth] = 0x01;
    regs_[kYear] = 0x00;
    subsecondMicros_ = 0;
    timerCount_ = 0;
    pointer_ = 0;
    pointerExpected_ = false;
}

RtcSnapshot RtcChip::Snapshot() const {
    RtcSnapshot s;
    s.registers = regs_;
    s.subsecondMicros = subsecondMicros_;
    s.timerCount = timerCount_;
    s.crystalAgedPpm = crystalAgedPpm_;
    return s;
}

void RtcChip::Restore(const RtcSnapshot& snapshot) {
    regs_ = snapshot.registers;
    for (uint8_t reg = kSeconds; reg <= kYear; ++reg) regs_[reg] &= kTimeFieldMask[reg];
    regs_[kTimerCounter1] &= CounterHighMask();
    regs_[kFlag] &= FLAG_BITS | FlagStorageBits();
    subsecondMicros_ = std::clamp<int64_t>(snapshot.subsecondMicros, 0, kMicrosPerSecond - 1);
    timerCount_ = std::min(snapshot.timerCount, kMaxTimerCount);
    crystalAgedPpm_ = std::isfinite(snapshot.crystalAgedPpm) ? snapshot.crystalAgedPpm : 0;
}

}  // namespace kalendo::sim
