// The bridge chip's serial engine as the board sees it: it executes command bytes, drives the
// low-port pins onto the I2C bus (SCL on bit 0, SDA from bit 1, SDA read back on bit 2, which
// the board ties to bit 1) and queues its answers for the host. Commands may arrive split across
// any number of writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "sim/bus/i2c_bus.h"

namespace kalendo::sim {

// Told about every change of the high port (the FOUT gate is bit 3).
class HighPortObserver {
  public:
    virtual ~HighPortObserver() = default;
    virtual void OnHighPort(int64_t ps, uint8_t value, uint8_t direction) = 0;
};

// Told about every answer byte as the engine produces it, and about send-immediate commands
// (the chip's USB side, which decides when the host sees the answers).
class AnswerSink {
  public:
    virtual ~AnswerSink() = default;
    virtual void OnAnswer(int64_t ps, uint8_t byte) = 0;
    virtual void OnSendImmediate(int64_t ps) = 0;
};

// Wire time per command that is not a shift, by default: an estimate of about a dozen
// master-clock cycles of the 60 MHz engine. Repeating a pin-state command is how the program
// makes hold times (20 repeats = 4 us). The real figure is not published; the setting
// (SetCommandPs, KALENDO_SIM_PIN_NS) lets the timing be checked at other values.
constexpr int64_t kCommandPs = 200'000;

class SerialEngine {
  public:
    explicit SerialEngine(I2cBus& bus);
    SerialEngine(const SerialEngine&) = delete;
    SerialEngine& operator=(const SerialEngine&) = delete;

    // Power-on state: all pins inputs, 12 MHz master clock, two-phase clocking, queues empty.
    void Reset();
    // Bit mode 0: the engine stops and the low port's pins go back to their UART roles (TXD on
    // bit 0, RTS# on bit 2 and DTR# on bit 4 driven high, the rest inputs); the high port is
    // released. A partial command and a wait are dropped.
    void ReturnToUart();

    // Bytes from the host. Complete commands run at once; a partial one waits for the rest.
    void Write(const uint8_t* data, size_t count);

    // With a sink, answers go to it instead of the engine's own queue below.
    void SetAnswerSink(AnswerSink* sink) { answerSink_ = sink; }

    // Answers waiting for the host (without a sink).
    size_t Pending() const { return answer_.size() - answerRead_; }
    size_t Read(uint8_t* out, size_t count);
    void PurgeAnswers();   // host receive buffer
    void PurgeCommands();  // host transmit buffer: a partial command is dropped

    // When off, invalid opcodes are swallowed without the 0xFA answer (a broken engine).
    void SetAnswerInvalidOpcodes(bool on) { answerInvalid_ = on; }

    // Wire time: the engine's own clock of what it has put on the pins, in picoseconds. The
    // owner moves it forward to the board's time before each write; it never goes back.
    int64_t WireTimePs() const { return wirePs_; }
    // Wire time spent running commands, without the gaps between writes (for the benchmarks'
    // wire-time figures); it only grows.
    int64_t ActivePs() const { return activePs_; }
    void CatchUpWireTime(int64_t ps);
    void SetCommandPs(int64_t ps) { commandPs_ = ps; }
    int64_t CommandPs() const { return commandPs_; }

    void SetHighPortObserver(HighPortObserver* observer) { highObserver_ = observer; }

    uint8_t LowValue() const { return lowValue_; }
    uint8_t LowDirection() const { return lowDirection_; }
    uint8_t HighValue() const { return highValue_; }
    uint8_t HighDirection() const { return highDirection_; }
    uint16_t ClockDivisor() const { return divisor_; }
    bool ThreePhase() const { return threePhase_; }
    bool DivideBy5() const { return divideBy5_; }
    bool Loopback() const { return loopback_; }
    bool AdaptiveClocking() const { return adaptiveClocking_; }
    // Waiting for GPIOL1 to reach a level (0x89 / 0x95 on this board, where it floats high):
    // later commands queue until the engine is reset.
    bool Waiting() const { return waitingForLevel_; }
    // Length of one clock phase (half a bit, or a third with three-phase clocking).
    int64_t PhasePs() const;

  private:
    void Run(const uint8_t* data, size_t count);
    // Bytes the command at the front of the buffer needs in all; 0 while that is not yet known.
    size_t CommandLength(const uint8_t* p, size_t available) const;
    void Execute(const uint8_t* p, size_t length);
    void ExecuteShift(const uint8_t* p);
    void ClockBits(int bits, bool write, uint8_t writeByte, bool read, uint8_t* readByte,
                   uint8_t flags);
    void ApplyPins();
    bool SampleDataIn() const;
    bool GpioL1High() const;
    void Answer(uint8_t byte);

    I2cBus& bus_;
    HighPortObserver* highObserver_ = nullptr;
    AnswerSink* answerSink_ = nullptr;

    std::vector<uint8_t> partial_;  // command bytes still waiting for the rest of a command
    std::vector<uint8_t> answer_;
    size_t answerRead_ = 0;
    bool answerInvalid_ = true;

    uint8_t lowValue_ = 0;
    uint8_t lowDirection_ = 0;
    uint8_t highValue_ = 0;
    uint8_t highDirection_ = 0;
    uint8_t lowDriveLowOnly_ = 0;
    uint8_t highDriveLowOnly_ = 0;
    uint16_t divisor_ = 0;
    bool divideBy5_ = true;
    bool threePhase_ = false;
    bool loopback_ = false;
    bool adaptiveClocking_ = false;
    bool waitingForLevel_ = false;
    int64_t wirePs_ = 0;
    int64_t commandPs_ = kCommandPs;
    int64_t activePs_ = 0;
};

}  // namespace kalendo::sim
