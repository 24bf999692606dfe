#include "sim/engine/serial_engine.h"

#include <algorithm>
#include <cstring>

#include "sim/engine/engine_opcodes.h"

namespace kalendo::sim {

namespace {

// Low-port pins as the board wires them.
constexpr uint8_t kSclPin = 0x01;     // clock out
constexpr uint8_t kSdaOutPin = 0x02;  // data out
constexpr uint8_t kSdaInPin = 0x04;   // data in, tied to data out on the board
constexpr uint8_t kGpioL1Pin = 0x20;  // not wired on the board: floats high as an input

// UART roles of the low port: TXD (bit 0), RTS# (bit 2) and DTR# (bit 4) are outputs, idle high.
constexpr uint8_t kUartOutputs = 0x15;

LineDrive PinDrive(uint8_t value, uint8_t direction, uint8_t driveLowOnly, uint8_t pin) {
    if (!(direction & pin)) return LineDrive::Released;
    if (!(value & pin)) return LineDrive::Low;
    return (driveLowOnly & pin) ? LineDrive::Released : LineDrive::High;
}

// Two drivers on one wire (bit 1 and bit 2 both reach SDA).
LineDrive Combine(LineDrive a, LineDrive b) {
    if (a == LineDrive::Low || b == LineDrive::Low) return LineDrive::Low;
    if (a == LineDrive::High || b == LineDrive::High) return LineDrive::High;
    return LineDrive::Released;
}

bool IsShift(uint8_t op) {
    return !(op & 0x80) && !(op & kShiftTms) && (op & (kShiftDoWrite | kShiftDoRead));
}

}  // namespace

SerialEngine::SerialEngine(I2cBus& bus) : bus_(bus) {
    Reset();
}

void SerialEngine::Reset() {
    partial_.clear();
    answer_.clear();
    answerRead_ = 0;
    lowValue_ = lowDirection_ = highValue_ = highDirection_ = 0;
    lowDriveLowOnly_ = highDriveLowOnly_ = 0;
    divisor_ = 0;
    divideBy5_ = true;
    threePhase_ = false;
    loopback_ = false;
    adaptiveClocking_ = false;
    waitingForLevel_ = false;
    ApplyPins();
    if (highObserver_) highObserver_->OnHighPort(wirePs_, highValue_, highDirection_);
}

void SerialEngine::ReturnToUart() {
    partial_.clear();
    waitingForLevel_ = false;
    lowValue_ = kUartOutputs;
    lowDirection_ = kUartOutputs;
    lowDriveLowOnly_ = highDriveLowOnly_ = 0;
    highDirection_ = 0;
    ApplyPins();
    if (highObserver_) highObserver_->OnHighPort(wirePs_, highValue_, highDirection_);
}

void SerialEngine::CatchUpWireTime(int64_t ps) {
    wirePs_ = std::max(wirePs_, ps);
}

int64_t SerialEngine::PhasePs() const {
    const int64_t masterHz = divideBy5_ ? 12'000'000 : 60'000'000;
    return (int64_t{divisor_} + 1) * 1'000'000'000'000 / masterHz;
}

size_t SerialEngine::Read(uint8_t* out, size_t count) {
    const size_t n = std::min(count, Pending());
    if (n) std::memcpy(out, answer_.data() + answerRead_, n);
    answerRead_ += n;
    if (answerRead_ == answer_.size()) {
        answer_.clear();
        answerRead_ = 0;
    }
    return n;
}

void SerialEngine::PurgeAnswers() {
    answer_.clear();
    answerRead_ = 0;
}

void SerialEngine::PurgeCommands() {
    partial_.clear();
}

size_t SerialEngine::CommandLength(const uint8_t* p, size_t available) const {
    const uint8_t op = p[0];
    if (IsShift(op)) {
        if (op & kShiftBitMode) return (op & kShiftDoWrite) ? 3 : 2;
        if (!(op & kShiftDoWrite)) return 3;
        if (available < 3) return 0;
        return 3 + (size_t{p[1]} | size_t{p[2]} << 8) + 1;
    }
    switch (op) {
        case kSetLowPins:
        case kSetHighPins:
        case kSetClockDivisor:
        case kClockBytesNoData:
        case kClockBytesUntilIoHigh:
        case kClockBytesUntilIoLow:
        case kDriveLowOnly:
            return 3;
        case kClockBitsNoData:
            return 2;
        default:
            return 1;  // the one-byte commands, and any invalid opcode
    }
}

void SerialEngine::Write(const uint8_t* data, size_t count) {
    const int64_t before = wirePs_;
    Run(data, count);
    activePs_ += wirePs_ - before;
}

void SerialEngine::Run(const uint8_t* data, size_t count) {
    if (waitingForLevel_) {
        partial_.insert(partial_.end(), data, data + count);
        return;
    }
    // Fast path: run commands straight from the caller's bytes when nothing is pending.
    size_t pos = 0;
    if (partial_.empty()) {
        while (pos < count && !waitingForLevel_) {
            const size_t length = CommandLength(data + pos, count - pos);
            if (length == 0 || length > count - pos) break;
            Execute(data + pos, length);
            pos += length;
        }
        partial_.assign(data + pos, data + count);
        return;
    }
    partial_.insert(partial_.end(), data, data + count);
    size_t start = 0;
    while (start < partial_.size() && !waitingForLevel_) {
        const size_t length = CommandLength(partial_.data() + start, partial_.size() - start);
        if (length == 0 || length > partial_.size() - start) break;
        Execute(partial_.data() + start, length);
        start += length;
    }
    partial_.erase(partial_.begin(), partial_.begin() + static_cast<std::ptrdiff_t>(start));
}

void SerialEngine::Execute(const uint8_t* p, size_t length) {
    (void)length;
    const uint8_t op = p[0];
    if (IsShift(op)) {
        ExecuteShift(p);
        return;
    }
    // Clocks without data take the time of their bits, like the shifts.
    if (op == kClockBitsNoData) {
        ClockBits(p[1] + 1, false, 0, false, nullptr, 0);
        return;
    }
    if (op == kClockBytesNoData) {
        const int bytes = (p[1] | p[2] << 8) + 1;
        for (int i = 0; i < bytes; ++i) ClockBits(8, false, 0, false, nullptr, 0);
        return;
    }
    // Nothing on the board moves GPIOL1 while the engine clocks: the level it has at the start
    // either ends the command at once or never.
    if (op == kClockBytesUntilIoHigh || op == kClockBytesUntilIoLow) {
        if (GpioL1High() == (op == kClockBytesUntilIoHigh)) {
            wirePs_ += commandPs_;
            return;
        }
        const int bytes = (p[1] | p[2] << 8) + 1;
        for (int i = 0; i < bytes; ++i) ClockBits(8, false, 0, false, nullptr, 0);
        return;
    }
    wirePs_ += commandPs_;
    switch (op) {
        case kSetLowPins:
            lowValue_ = p[1];
            lowDirection_ = p[2];
            ApplyPins();
            break;
        case kSetHighPins:
            highValue_ = p[1];
            highDirection_ = p[2];
            if (highObserver_) highObserver_->OnHighPort(wirePs_, highValue_, highDirection_);
            break;
        case kReadLowPins: {
            // Outputs read back what they drive; inputs read the wires (SCL on bit 0, SDA on
            // bits 1 and 2); unconnected inputs float high.
            uint8_t levels = 0;
            for (int bit = 0; bit < 8; ++bit) {
                const uint8_t pin = static_cast<uint8_t>(1u << bit);
                bool level = true;
                if (lowDirection_ & pin) {
                    level = lowValue_ & pin;
                } else if (pin == kSclPin) {
                    level = bus_.Scl();
                } else if (pin == kSdaOutPin || pin == kSdaInPin) {
                    level = bus_.Sda();
                }
                if (level) levels |= pin;
            }
            Answer(levels);
            break;
        }
        case kReadHighPins:
            Answer(static_cast<uint8_t>((highValue_ & highDirection_) | ~highDirection_));
            break;
        case kLoopbackOn:
            loopback_ = true;
            break;
        case kLoopbackOff:
            loopback_ = false;
            break;
        case kSetClockDivisor:
            divisor_ = static_cast<uint16_t>(p[1] | p[2] << 8);
            break;
        case kSendImmediate:
            if (answerSink_) answerSink_->OnSendImmediate(wirePs_);
            break;
        case kWaitIoHigh:
        case kWaitIoLow:
        case kClockUntilIoHigh:
        case kClockUntilIoLow: {
            const bool wantHigh = op == kWaitIoHigh || op == kClockUntilIoHigh;
            if (GpioL1High() != wantHigh) waitingForLevel_ = true;
            break;
        }
        case kAdaptiveClockOn:
            adaptiveClocking_ = true;
            break;
        case kAdaptiveClockOff:
            adaptiveClocking_ = false;
            break;
        case kDivideBy5Off:
            divideBy5_ = false;
            break;
        case kDivideBy5On:
            divideBy5_ = true;
            break;
        case kThreePhaseOn:
            threePhase_ = true;
            break;
        case kThreePhaseOff:
            threePhase_ = false;
            break;
        case kDriveLowOnly:
            lowDriveLowOnly_ = p[1];
            highDriveLowOnly_ = p[2];
            ApplyPins();
            break;
        default:
            if (answerInvalid_) {
                Answer(kBadCommandAnswer);
                Answer(op);
            }
            break;
    }
}

void SerialEngine::ExecuteShift(const uint8_t* p) {
    const uint8_t op = p[0];
    const bool write = op & kShiftDoWrite;
    const bool read = op & kShiftDoRead;
    if (op & kShiftBitMode) {
        const int bits = (p[1] & 0x07) + 1;
        uint8_t in = 0;
        ClockBits(bits, write, write ? p[2] : 0, read, &in, op);
        if (read) Answer(in);
        return;
    }
    const size_t bytes = (size_t{p[1]} | size_t{p[2]} << 8) + 1;
    for (size_t i = 0; i < bytes; ++i) {
        uint8_t in = 0;
        ClockBits(8, write, write ? p[3 + i] : 0, read, &in, op);
        if (read) Answer(in);
    }
}

// Clocks bits on SCL (bit 0) from its present level, which is the idle level. Each bit: data out
// is set while the clock is idle, the clock goes active and back; with three-phase clocking a
// third phase follows in which the data stays unchanged, so it is held after the falling edge.
// Bits are sampled on the edge the flags name.
void SerialEngine::ClockBits(int bits, bool write, uint8_t writeByte, bool read, uint8_t* readByte,
                             uint8_t flags) {
    const bool lsbFirst = flags & kShiftLsbFirst;
    const bool idleHigh = lowValue_ & kSclPin;
    // The first edge of a bit is rising when the clock idles low.
    const bool readOnFirstEdge = ((flags & kShiftReadOnFalling) != 0) == idleHigh;
    const int64_t phase = PhasePs();
    uint8_t result = 0;
    for (int i = 0; i < bits; ++i) {
        if (write) {
            const int bitIndex = lsbFirst ? i : 7 - i;
            const bool one = (writeByte >> bitIndex) & 1;
            lowValue_ =
                static_cast<uint8_t>(one ? lowValue_ | kSdaOutPin : lowValue_ & ~kSdaOutPin);
            ApplyPins();
        }
        bool sampled = false;
        wirePs_ += phase;
        lowValue_ ^= kSclPin;
        ApplyPins();
        if (readOnFirstEdge) sampled = SampleDataIn();
        wirePs_ += phase;
        lowValue_ ^= kSclPin;
        ApplyPins();
        if (!readOnFirstEdge) sampled = SampleDataIn();
        if (threePhase_) wirePs_ += phase;
        if (read) {
            // The engine shifts bits in at the end where they will finish: with MSB first the
            // last bit ends in bit 0.
            result = lsbFirst ? static_cast<uint8_t>((result >> 1) | (sampled ? 0x80 : 0))
                              : static_cast<uint8_t>((result << 1) | (sampled ? 1 : 0));
        }
    }
    if (readByte) *readByte = result;
}

void SerialEngine::Answer(uint8_t byte) {
    if (answerSink_) {
        answerSink_->OnAnswer(wirePs_, byte);
    } else {
        answer_.push_back(byte);
    }
}

bool SerialEngine::GpioL1High() const {
    return (lowDirection_ & kGpioL1Pin) ? (lowValue_ & kGpioL1Pin) != 0 : true;
}

bool SerialEngine::SampleDataIn() const {
    if (loopback_) return lowValue_ & kSdaOutPin;
    return bus_.Sda();
}

void SerialEngine::ApplyPins() {
    const LineDrive scl = PinDrive(lowValue_, lowDirection_, lowDriveLowOnly_, kSclPin);
    const LineDrive sda = Combine(PinDrive(lowValue_, lowDirection_, lowDriveLowOnly_, kSdaOutPin),
                                  PinDrive(lowValue_, lowDirection_, lowDriveLowOnly_, kSdaInPin));
    bus_.DriveMaster(scl, sda, wirePs_);
}

}  // namespace kalendo::sim
