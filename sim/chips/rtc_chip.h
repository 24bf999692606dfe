// What the TQ5100 and the TQ5200 share: 32 byte-wide registers behind an auto-incrementing
// pointer, the BCD clock and calendar, the alarm, the countdown timer and the flag and control
// registers at 0x00-0x0F. Each model adds its registers 0x10-0x1F.
//
// Time passes lazily: every bus event first catches up with the SimClock, so a virtual clock may
// jump hours and the alarm and timer events in between are still found.
#pragma once

#include <array>
#include <cstdint>

#include "sim/chips/board_conditions.h"
#include "sim/chips/rtc_calendar.h"
#include "sim/chips/rtc_model.h"
#include "sim/chips/rtc_supply.h"
#include "sim/bus/i2c_slave.h"
#include "sim/clock/sim_clock.h"

namespace kalendo::sim {

// Register addresses shared by both models.
namespace rtc_reg {
constexpr uint8_t kSeconds = 0x00;
constexpr uint8_t kMinutes = 0x01;
constexpr uint8_t kHours = 0x02;
constexpr uint8_t kWeek = 0x03;
constexpr uint8_t kDay = 0x04;
constexpr uint8_t kMonth = 0x05;
constexpr uint8_t kYear = 0x06;
constexpr uint8_t kRam = 0x07;
constexpr uint8_t kMinuteAlarm = 0x08;
constexpr uint8_t kHourAlarm = 0x09;
constexpr uint8_t kWeekDayAlarm = 0x0A;
constexpr uint8_t kTimerCounter0 = 0x0B;
constexpr uint8_t kTimerCounter1 = 0x0C;
constexpr uint8_t kExtension = 0x0D;
constexpr uint8_t kFlag = 0x0E;
constexpr uint8_t kControl = 0x0F;
constexpr uint8_t kFirstModelRegister = 0x10;
constexpr int kCount = 32;
constexpr uint8_t kPointerMask = 0x1F;  // the pointer wraps within the 32 registers
}  // namespace rtc_reg

// Bit fields of the shared registers.
namespace rtc_bits {
constexpr uint8_t CTRL_WRITE_GUARD = 0x01;  // 0x0F: holds the clock while the time is written
constexpr uint8_t CTRL_ALARM_INT = 0x08;    // 0x0F: alarm drives INT (the flag is set anyway)
constexpr uint8_t CTRL_TIMER_INT = 0x10;    // 0x0F: timer drives INT (the flag is set anyway)
constexpr uint8_t FLAG_ALARM = 0x08;        // 0x0E
constexpr uint8_t FLAG_TIMER = 0x10;        // 0x0E
constexpr uint8_t FLAG_BITS = 0x3F;         // 0x0E bits the chip raises: writing 1 keeps them
constexpr uint8_t EXT_TIMER_CLOCK = 0x03;   // 0x0D: 4096 Hz, 64 Hz, second, minute update
constexpr uint8_t EXT_FOUT_FREQ = 0x0C;     // 0x0D: 32.768 kHz, 1024 Hz, 1 Hz
constexpr uint8_t EXT_TIMER_ENABLE = 0x10;  // 0x0D
constexpr uint8_t EXT_DAY_ALARM = 0x40;     // 0x0D: 0x0A holds a day of month, else week days
constexpr uint8_t ALARM_IGNORE = 0x80;      // 0x08-0x0A: this field takes no part in the match
constexpr uint8_t ALARM_VALUE = 0x7F;
}  // namespace rtc_bits

// What survives a power cycle of the battery-backed chip (the state file's contents).
struct RtcSnapshot {
    std::array<uint8_t, rtc_reg::kCount> registers{};
    int64_t subsecondMicros = 0;
    uint32_t timerCount = 0;
    double crystalAgedPpm = 0;  // what the crystal's error has grown by since the chip was new
};

// One year of the host's time, in microseconds, for the aging rate (a Julian year).
constexpr double kMicrosPerYear = 365.25 * 86400 * 1e6;

class RtcChip : public I2cSlave {
  public:
    static constexpr uint8_t kBusAddress = 0x32;

    RtcChip(const SimClock& clock, const BoardConditions& board);

    uint8_t Address() const override { return kBusAddress; }
    bool OnStart(bool read) override;
    bool OnWrite(uint8_t byte) override;
    uint8_t OnRead() override;
    void OnStop() override;

    virtual RtcModel Model() const = 0;
    // The event input pin; only the TQ5200 has one.
    virtual void FireEventInput() {}

    // The VDD rail the interface runs from; none: always powered.
    void SetSupply(const RtcSupply* supply) { supply_ = supply; }

    // Catches up with the SimClock.
    void Sync();
    // Counts from now on: the time before was counted some other way (the gap since the state
    // was saved, on the host's wall clock read at this moment).
    void CountFromNow() { lastSyncMicros_ = clock_.NowMicros(); }
    // Lets time pass that the SimClock did not see (the program was not running). The crystal
    // turns it into its own running time, fast or slow by the board's crystal error.
    void AdvanceBy(int64_t hostMicros);
    // The same with the crystal's error as given: basePpm without the aged part (which the chip
    // keeps), aging in ppm a year. The error's growth over the span is integrated exactly.
    void AdvanceBy(int64_t hostMicros, double basePpm, double agingPpmPerYear);
    // Time the oscillator stood still (no rail above its timekeeping minimum): the crystal ages
    // all the same.
    void AgeBy(int64_t hostMicros, double agingPpmPerYear);
    double CrystalAgedPpm() const { return crystalAgedPpm_; }
    // Power-on state: 2000-01-01 00:00:00.000, a Saturday; everything else 0.
    void PowerOnReset();

    RtcSnapshot Snapshot() const;
    void Restore(const RtcSnapshot& snapshot);
    double FoutFrequencyHz() const;

  protected:
    // Registers 0x10-0x1F differ per model.
    virtual uint8_t ReadModelRegister(uint8_t reg) = 0;
    virtual void WriteModelRegister(uint8_t reg, uint8_t value) = 0;
    // Bits of 0x0C that exist (the TQ5100's counter is 12 bits wide).
    virtual uint8_t CounterHighMask() const = 0;
    // Bits 7-6 of the flag register: plain storage on one model, reserved on the other.
    virtual uint8_t FlagStorageBits() const = 0;
    virtual uint32_t TimerPreset() const = 0;

    uint8_t ReadSharedRegister(uint8_t reg) const;
    void WriteSharedRegister(uint8_t reg, uint8_t value);
    // A preset register changed: a stopped timer shows and starts from the new preset.
    void PresetWritten();
    uint32_t TimerCount() const { return timerCount_; }
    const BoardConditions& Board() const { return board_; }

    std::array<uint8_t, rtc_reg::kCount> regs_{};

  private:
    uint8_t ReadRegister(uint8_t reg);
    void WriteRegister(uint8_t reg, uint8_t value);
    CalendarFields ReadCalendar() const;
    void WriteCalendar(const CalendarFields& now, const CalendarFields& before);
    bool AlarmMatches(const CalendarFields& now) const;
    // Advances the clock by whole seconds; returns the number of minute updates.
    int64_t AdvanceClock(int64_t seconds);
    void CountDownTimer(int64_t ticks);
    bool InterfacePowered() const;

    const SimClock& clock_;
    const BoardConditions& board_;
    const RtcSupply* supply_ = nullptr;
    int64_t lastSyncMicros_ = 0;
    double crystalRemainderMicros_ = 0;  // fraction of a microsecond the crystal has run ahead
    double crystalAgedPpm_ = 0;          // the error the crystal has gained by aging
    int64_t oscillatorMicros_ = 0;  // running time of the crystal, phase of 4096 Hz and 64 Hz
    int64_t subsecondMicros_ = 0;   // part of the current second already counted
    uint32_t timerCount_ = 0;       // the countdown as it runs
    uint8_t pointer_ = 0;
    bool pointerExpected_ = false;  // next written byte is the register pointer
};

}  // namespace kalendo::sim
