#include "bridge/i2c_engine.h"

#include <cstring>
#include <initializer_list>
#include <new>

#include "bridge/bus_action.h"
#include "bridge/engine_commands.h"
#include "bridge/os_seam.h"

namespace kalendo {

namespace {

using namespace engine;

constexpr uint32_t kDeviceTypeFt2232C = 4;
constexpr uint32_t kDeviceTypeFt2232H = 6;
constexpr uint32_t kDeviceTypeFt4232H = 7;
constexpr uint32_t kDeviceTypeFt232H = 8;

constexpr uint32_t kMaxClockRate = 30000000;
constexpr uint32_t kUsbTransferSize = 65536;
constexpr uint32_t kLibraryTimeoutMs = 5000;
constexpr uint32_t kFastModeRate = 400000;

// The engine echoes within a few milliseconds; no echo after this long means it is not in
// serial-engine mode or not there at all. A time, not a poll count: Sleep(1) lasts 1 ms under
// Wine but a whole timer period (about 15.6 ms) on Windows.
constexpr uint64_t kEchoWaitMs = 250;
constexpr uint32_t kReceiveChunk = 4096;

// A burst is never more than a few hundred bytes; anything beyond this is a caller's error.
constexpr uint64_t kMaxBurstBytes = 1u << 20;

// Frees a buffer from new[] when it goes out of scope.
struct OwnedBytes {
    uint8_t* data;
    explicit OwnedBytes(uint64_t size)
        : data(size <= kMaxBurstBytes ? new (std::nothrow) uint8_t[size ? size : 1] : nullptr) {}
    ~OwnedBytes() { delete[] data; }
    OwnedBytes(const OwnedBytes&) = delete;
    OwnedBytes& operator=(const OwnedBytes&) = delete;
};

// Appends to a command buffer that was sized exactly before filling.
class Burst {
  public:
    explicit Burst(uint8_t* out) : out_(out) {}
    uint32_t size() const { return used_; }

    void Pin(PinState s) { Put3(kSetLowPins, s.levels, s.directions); }
    void Pins(PinState s, uint32_t times) {
        for (uint32_t i = 0; i < times; ++i) Pin(s);
    }
    // SCL low on entry and on exit; eight bits out, then the slave's acknowledge bit in.
    void ByteOut(uint8_t b) {
        Pin(kSclLowSdaHigh);
        Put3(kClockBitsOutFallingMsb, 0x07, b);
        Pin(kSclLowSdaReleased);
        Put2(kClockBitsInRisingMsb, 0x00);
    }
    // SCL low on entry and on exit; eight bits in, then the master's ACK or NACK bit.
    void ByteIn(bool last) {
        Pin(kSclLowSdaReleased);
        Put2(kClockBitsInRisingMsb, 0x07);
        if (last) {
            Pin(kSclLowSdaReleasedHigh);
            Put3(kClockBitsOutFallingMsb, 0x00, 0xFF);
        } else {
            Pin(kSclLowSdaLow);
            Put3(kClockBitsOutFallingMsb, 0x00, 0x00);
        }
        Pin(kSclLowSdaReleasedHigh);
    }

  private:
    void Put2(uint8_t a, uint8_t b) {
        out_[used_++] = a;
        out_[used_++] = b;
    }
    void Put3(uint8_t a, uint8_t b, uint8_t c) {
        Put2(a, b);
        out_[used_++] = c;
    }
    uint8_t* out_;
    uint32_t used_ = 0;
};

// The port the transfer is made through asked for its answers at once.
bool SendsImmediately() {
    return Bridge().sendImmediate;
}

FtLibrary& Ft() {
    return Bridge().ft;
}

// The board did not answer as a healthy one does. What is left of the answer may still come,
// and would be read as the next transaction's acknowledge or data: the engine is drained and
// resynchronised before the next burst. This thread waits for the board no more until the bridge
// is closed.
void BoardStoppedAnswering() {
    Bridge().engineNeedsResync = true;
    LatchBoardSilence();
}

// A write the library took only in part fails: the engine got half a command, and would take
// the next burst's first bytes as the rest of it, so it is resynchronised before that burst (an
// engine that then does not echo is a board that stopped answering).
uint32_t WriteAll(FtHandle channel, const uint8_t* bytes, uint32_t count) {
    uint32_t written = 0;
    const uint32_t status = Ft().Write(channel, bytes, count, &written);
    if (status != kFtOk) return status;
    if (written == count) return kEngineOk;
    Bridge().engineNeedsResync = true;
    return kEngineShortTransfer;
}

// Reads exactly count bytes. Fewer means the library's read time-out passed without the board's
// answer; all of them, but far later than a healthy board answers (a few milliseconds), means a
// board that is failing: either is taken as a board that no longer answers, so a slow board
// costs one such wait, not one per read.
uint32_t ReadAll(FtHandle channel, uint8_t* bytes, uint32_t count, uint32_t* got) {
    *got = 0;
    const uint64_t began = Os().NowMs();
    const uint32_t status = Ft().Read(channel, bytes, count, got);
    if (status != kFtOk) return status;
    if (*got < count) {
        BoardStoppedAnswering();
        return kEngineShortTransfer;
    }
    if (Os().NowMs() - began > kLateAnswerMs) {
        BoardStoppedAnswering();
        return kEngineLateAnswer;
    }
    return kEngineOk;
}

uint32_t WriteToEngine(const uint8_t* bytes, uint32_t count) {
    return WriteAll(Bridge().ChannelHandle, bytes, count);
}

uint32_t WriteToEngine(std::initializer_list<uint8_t> bytes) {
    return WriteToEngine(bytes.begin(), static_cast<uint32_t>(bytes.size()));
}

enum class EchoMode { SendEveryPoll, SendOnce };

// Sends an invalid opcode and waits for the engine's "bad command" answer, FA followed by it.
uint32_t EchoWait(uint8_t opcode, EchoMode mode) {
    OwnedBytes received(kReceiveChunk);
    if (!received.data) return kEngineNoMemory;
    uint32_t status;
    if (mode == EchoMode::SendOnce && (status = WriteToEngine({opcode})) != kFtOk) return status;
    bool armed = false;
    const uint64_t began = Os().NowMs();
    for (;;) {
        if (mode == EchoMode::SendEveryPoll && (status = WriteToEngine({opcode})) != kFtOk) {
            return status;
        }
        uint32_t waiting = 0;
        if ((status = Ft().GetQueueStatus(Bridge().ChannelHandle, &waiting)) != kFtOk) {
            return status;
        }
        Os().SleepMs(1);
        if (waiting > 0) {
            if (waiting > kReceiveChunk) return kEngineNoMemory;
            uint32_t got = 0;
            status = Ft().Read(Bridge().ChannelHandle, received.data, waiting, &got);
            if (status != kFtOk) return status;
            for (uint32_t i = 0; i < got && i < waiting; ++i) {
                uint8_t b = received.data[i];
                if (armed && b == opcode) return kEngineOk;
                armed = (b == kBadCommandReply);
            }
        }
        if (Os().NowMs() - began >= kEchoWaitMs) return kEngineNoChannel;
    }
}

// Walks the device list to the k-th I2C-capable channel (k from 1); the callback gets the record
// and its list position.
template <typename AtChannel>
uint32_t WalkToChannel(uint32_t k, AtChannel atChannel) {
    uint32_t total = 0;
    uint32_t status = Ft().CreateDeviceInfoList(&total);
    if (status != kFtOk) return status;
    if (total < k) return 1;
    FtDeviceListNode* records = new (std::nothrow) FtDeviceListNode[total]();
    if (!records) return kEngineNoMemory;
    uint32_t listed = total;
    status = Ft().GetDeviceInfoList(records, &listed);
    if (status == kFtOk) {
        status = 1;  // the list changed meanwhile and has fewer channels now
        uint32_t capable = 0;
        for (uint32_t j = 0; j < total && j < listed; ++j) {
            if (IsI2cCapable(records[j]) && ++capable == k) {
                status = atChannel(records[j], j);
                break;
            }
        }
    }
    delete[] records;
    return status;
}

}  // namespace

bool IsI2cCapable(const FtDeviceListNode& record) {
    uint32_t channel = record.locationId & 0x0F;
    switch (record.type) {
        case kDeviceTypeFt232H:
            return true;
        case kDeviceTypeFt2232H:
        case kDeviceTypeFt4232H:
            return channel == 1 || channel == 2;
        case kDeviceTypeFt2232C:
            return channel == 1;
        default:
            return false;
    }
}

namespace {

// A device another process has open is listed with only its open flag: no type, no
// description. This process's own open channel keeps its description.
bool OpenElsewhere(FtDeviceListNode& record) {
    record.description[sizeof(record.description) - 1] = '\0';
    return (record.flags & 1) != 0 && record.description[0] == '\0';
}

}  // namespace

uint32_t CountChannels(uint32_t* count, uint32_t* openElsewhere) {
    *count = 0;
    if (openElsewhere) *openElsewhere = 0;
    uint32_t total = 0;
    uint32_t status = Ft().CreateDeviceInfoList(&total);
    if (status != kFtOk || total == 0) return status;
    FtDeviceListNode* records = new (std::nothrow) FtDeviceListNode[total]();
    if (!records) return kEngineNoMemory;
    uint32_t listed = total;
    status = Ft().GetDeviceInfoList(records, &listed);
    for (uint32_t j = 0; j < total && j < listed; ++j) {
        if (IsI2cCapable(records[j])) ++*count;
        if (openElsewhere && OpenElsewhere(records[j])) ++*openElsewhere;
    }
    delete[] records;
    return status;
}

uint32_t GetChannelInfo(uint32_t k, FtDeviceListNode* record) {
    return WalkToChannel(k, [record](const FtDeviceListNode& found, uint32_t) {
        *record = found;
        return kEngineOk;
    });
}

uint32_t OpenChannel(uint32_t k) {
    return WalkToChannel(k, [](const FtDeviceListNode&, uint32_t position) {
        FtHandle handle = nullptr;
        uint32_t status = Ft().Open(static_cast<int>(position), &handle);
        if (status == kFtOk) Bridge().ChannelHandle = handle;
        return status;
    });
}

namespace {

bool SameIdentity(const char* serial, const char* description, const BoardEntry& board) {
    return std::strncmp(serial, board.serialNumber, sizeof board.serialNumber) == 0 &&
           std::strncmp(description, board.description, sizeof board.description) == 0;
}

}  // namespace

uint32_t OpenBoardChannel(const BoardEntry& board) {
    uint32_t total = 0;
    uint32_t status = Ft().CreateDeviceInfoList(&total);
    if (status != kFtOk) return status;
    FtDeviceListNode* records = new (std::nothrow) FtDeviceListNode[total ? total : 1]();
    if (!records) return kEngineNoMemory;
    uint32_t listed = total;
    status = total ? Ft().GetDeviceInfoList(records, &listed) : kFtOk;
    int position = -1;
    for (uint32_t j = 0; status == kFtOk && j < total && j < listed; ++j) {
        records[j].serialNumber[sizeof(records[j].serialNumber) - 1] = '\0';
        records[j].description[sizeof(records[j].description) - 1] = '\0';
        if (IsI2cCapable(records[j]) &&
            SameIdentity(records[j].serialNumber, records[j].description, board)) {
            position = static_cast<int>(j);
            break;
        }
    }
    delete[] records;
    if (status != kFtOk) return status;
    if (position < 0) {
        Bridge().boardChanged = true;
        return 1;
    }
    FtHandle handle = nullptr;
    status = Ft().Open(position, &handle);
    if (status != kFtOk) return status;
    // The list may have changed between the look and the open: the device says who it is.
    uint32_t type = 0, id = 0;
    char serial[16] = {};
    char description[64] = {};
    if (Ft().GetDeviceInfo(handle, &type, &id, serial, description, nullptr) != kFtOk ||
        !SameIdentity(serial, description, board)) {
        Ft().Close(handle);
        Bridge().boardChanged = true;
        return 1;
    }
    Bridge().ChannelHandle = handle;
    return kEngineOk;
}

uint32_t ConfigureChannel(uint32_t clockRate, uint8_t latencyTimer, uint32_t options) {
    // Three-phase clocking stretches each bit by half, so the divisor is set for 3/2 the rate.
    uint32_t rate = (options & kOptionThreePhaseOff)
                        ? clockRate
                        : static_cast<uint32_t>(static_cast<uint64_t>(clockRate) * 3 / 2);
    if (rate == 0 || rate > kMaxClockRate || latencyTimer == 0) return kEngineBadParameter;

    FtHandle h = Bridge().ChannelHandle;
    uint32_t type = 0, id = 0;
    char serial[16] = {};
    char description[64] = {};
    uint32_t status;
    if ((status = Ft().GetDeviceInfo(h, &type, &id, serial, description, nullptr)) != kFtOk ||
        (status = Ft().ResetDevice(h)) != kFtOk ||
        (status = Ft().Purge(h, kFtPurgeRx | kFtPurgeTx)) != kFtOk ||
        (status = Ft().SetUSBParameters(h, kUsbTransferSize, kUsbTransferSize)) != kFtOk ||
        (status = Ft().SetChars(h, 0, 0, 0, 0)) != kFtOk ||
        (status = Ft().SetTimeouts(h, kLibraryTimeoutMs, kLibraryTimeoutMs)) != kFtOk ||
        (status = Ft().SetLatencyTimer(h, latencyTimer)) != kFtOk) {
        return status;
    }
    // Both bit-mode calls restart the engine and release its pins (the FOUT gate with them); an
    // engine that answers its bad-command echo is running already and needs neither.
    const bool continuing = (options & kOptionContinueEngine) && SynchroniseEngine() == kEngineOk;
    if (!continuing && !(options & kOptionSkipBitModeReset) &&
        (status = Ft().SetBitMode(h, 0, kFtBitModeReset)) != kFtOk) {
        return status;
    }
    if ((!continuing && (status = Ft().SetBitMode(h, 0, kFtBitModeSerialEngine)) != kFtOk) ||
        (status = WriteToEngine({kLoopbackOn})) != kFtOk ||
        (status = SynchroniseEngine()) != kFtOk) {
        return status;
    }
    Os().SleepMs(50);
    if ((status = SetChannelClock(type, rate)) != kFtOk) return status;
    Os().SleepMs(20);
    if ((status = WriteToEngine({kLoopbackOff})) != kFtOk ||
        (status = DrainReceiveQueue()) != kFtOk) {
        return status;
    }
    if (type == kDeviceTypeFt232H) {
        uint8_t lowMask = (options & kOptionDriveLowOnly) ? (kPinScl | kPinSdaOut) : 0x00;
        if ((status = WriteToEngine({kDriveLowOnly, lowMask, 0x00})) != kFtOk) return status;
    }
    if ((status = WriteToEngine({kSetLowPins, kIdle.levels, kIdle.directions})) != kFtOk ||
        (status = WriteToEngine(
             {(options & kOptionThreePhaseOff) ? kThreePhaseOff : kThreePhaseOn})) != kFtOk) {
        return status;
    }
    StoreTimingRecord(h, clockRate);
    Bridge().engineNeedsResync = false;  // synchronised just now, the receive queue drained
    return kEngineOk;
}

uint32_t SetChannelClock(uint32_t deviceType, uint32_t rate) {
    uint32_t base;
    uint32_t status;
    if (deviceType == kDeviceTypeFt2232C) {
        base = 30000000;
    } else if (rate > 6000000 || deviceType == kDeviceTypeFt232H) {
        if ((status = WriteToEngine({kDivideBy5Off})) != kFtOk) return status;
        base = 30000000;
    } else {
        if ((status = WriteToEngine({kDivideBy5On})) != kFtOk) return status;
        base = 6000000;
    }
    uint32_t divisor = base / rate - 1;
    return WriteToEngine({kSetDivisor, static_cast<uint8_t>(divisor & 0xFF),
                          static_cast<uint8_t>((divisor >> 8) & 0xFF)});
}

uint32_t SynchroniseEngine() {
    uint32_t status = DrainReceiveQueue();
    if (status != kFtOk) return status;
    // EchoWait's own status: 18 when the echo never came, otherwise what stopped it (a full
    // queue, a failed library call) unchanged.
    if ((status = EchoWait(kBogusOpcode1, EchoMode::SendEveryPoll)) != kEngineOk) return status;
    return EchoWait(kBogusOpcode2, EchoMode::SendOnce);
}

uint32_t RecoverEngine() {
    if (!Bridge().ChannelHandle) return kEngineNoChannel;
    // The echo comes after everything the engine owed before it, so once it is found no late
    // byte is left to be taken for an answer.
    uint32_t status = SynchroniseEngine();
    if (status != kEngineOk) return status;
    // A burst cut short may have left the bus between START and STOP.
    uint32_t sent = 0;
    status = I2C_DeviceWrite(0, 0, nullptr, &sent, XFER_STOP | XFER_BURST | XFER_NO_ADDRESS);
    if (status != kEngineOk) return status;
    Bridge().engineNeedsResync = false;
    return kEngineOk;
}

uint32_t DrainReceiveQueue() {
    OwnedBytes discard(kReceiveChunk);
    if (!discard.data) return kEngineNoMemory;
    uint32_t waiting = 0;
    uint32_t status = Ft().GetQueueStatus(Bridge().ChannelHandle, &waiting);
    if (status != kFtOk) return status;
    uint32_t drained = 0;
    while (drained < waiting) {
        uint32_t piece = waiting - drained < kReceiveChunk ? waiting - drained : kReceiveChunk;
        uint32_t got = 0;
        status = Ft().Read(Bridge().ChannelHandle, discard.data, piece, &got);
        if (status != kFtOk) return status;
        if (got == 0) break;  // the queue shrank meanwhile: nothing more to wait for
        drained += got;
    }
    return kEngineOk;
}

uint32_t BuildStartSequence(uint8_t* out, const TimingRecord& t) {
    Burst b(out);
    b.Pins(kIdle, t.startIdle);
    b.Pins(kSclHighSdaLow, t.startSdaLow);
    b.Pins(kSclLowSdaLow, t.startSclLow);
    return b.size();
}

uint32_t BuildStopSequence(uint8_t* out, const TimingRecord& t) {
    Burst b(out);
    b.Pins(kSclLowSdaLow, t.stopLow);
    b.Pins(kSclHighSdaLow, t.stopSclHigh);
    b.Pins(kIdle, t.stopIdle);
    b.Pin(kBothReleased);
    return b.size();
}

uint32_t I2C_DeviceWrite(uint8_t address, uint32_t count, const uint8_t* bytes, uint32_t* sent,
                         uint32_t options) {
    FtHandle h = Bridge().ChannelHandle;
    if (!h) return kEngineNoChannel;
    Ft().Purge(h, kFtPurgeRx | kFtPurgeTx);  // a stale answer would shift the acknowledge bits

    const TimingRecord& t = TimingFor(h);
    const bool withAddress = !(options & XFER_NO_ADDRESS);
    uint64_t size = uint64_t{kByteOutBlockBytes} * count;
    if (withAddress) size += kByteOutBlockBytes;
    if (options & XFER_START) size += kPinStateBytes * t.startCommands;
    if (options & XFER_STOP) size += kPinStateBytes * t.stopCommands;
    const bool immediate = SendsImmediately();
    if (immediate) size += 1;
    OwnedBytes burst(size);
    if (!burst.data) return kEngineNoMemory;

    uint32_t used = 0;
    if (options & XFER_START) used += BuildStartSequence(burst.data + used, t);
    Burst body(burst.data + used);
    if (withAddress) body.ByteOut(static_cast<uint8_t>(address << 1));
    for (uint32_t i = 0; i < count; ++i) body.ByteOut(bytes[i]);
    used += body.size();
    if (options & XFER_STOP) used += BuildStopSequence(burst.data + used, t);
    if (immediate) burst.data[used++] = kSendImmediate;

    *sent = 0;
    uint32_t status = WriteAll(h, burst.data, used);
    if (status != kEngineOk) return status;
    *sent = count;
    const uint32_t acks = count + (withAddress ? 1 : 0);
    if (acks == 0) return kEngineOk;

    OwnedBytes ackBits(acks);
    if (!ackBits.data) return kEngineNoMemory;
    uint32_t got = 0;
    status = ReadAll(h, ackBits.data, acks, &got);
    if (status != kEngineOk && status != kEngineShortTransfer) return status;
    // An acknowledge bit that never arrived is no acknowledge.
    uint32_t acknowledged = 0;
    while (acknowledged < got && acknowledged < acks && (ackBits.data[acknowledged] & 0x01) == 0) {
        ++acknowledged;
    }
    if (acknowledged < acks) {
        return (acknowledged == 0 && withAddress) ? kEngineAddressNack : kEngineDataNack;
    }
    return kEngineOk;
}

uint32_t I2C_DeviceRead(FtHandle channel, uint8_t address, uint32_t count, uint8_t* buffer,
                        uint32_t* received) {
    const TimingRecord& t = TimingFor(channel);
    uint64_t size = uint64_t{kByteInBlockBytes} * count + kByteOutBlockBytes +
                    kPinStateBytes * (t.startCommands + t.stopCommands);
    const bool immediate = SendsImmediately();
    if (immediate) size += 1;
    OwnedBytes burst(size);
    if (!burst.data) return kEngineNoMemory;

    // After a write without STOP this START is a repeated START.
    uint32_t used = BuildStartSequence(burst.data, t);
    Burst body(burst.data + used);
    body.ByteOut(static_cast<uint8_t>((address << 1) | 1));
    for (uint32_t i = 0; i < count; ++i) body.ByteIn(i + 1 == count);
    used += body.size();
    used += BuildStopSequence(burst.data + used, t);
    if (immediate) burst.data[used++] = kSendImmediate;

    *received = 0;
    uint32_t status = WriteAll(channel, burst.data, used);
    if (status != kEngineOk) return status;
    uint8_t addressAck = 0;
    uint32_t got = 0;
    if ((status = ReadAll(channel, &addressAck, 1, &got)) != kEngineOk) return status;
    status = ReadAll(channel, buffer, count, &got);
    *received = got;
    if (status != kEngineOk) return status;
    return (addressAck & 0x01) ? kEngineAddressNack : kEngineOk;
}

uint32_t CombinedBurstSize(const TimingRecord& t, uint32_t writeCount, uint32_t readCount,
                           bool sendImmediate) {
    return kPinStateBytes * (2 * t.startCommands + t.stopCommands) +
           kByteOutBlockBytes * (2 + writeCount) + kByteInBlockBytes * readCount +
           (sendImmediate ? 1 : 0);
}

uint32_t BuildCombinedBurst(uint8_t* out, const TimingRecord& t, uint8_t address,
                            const uint8_t* bytes, uint32_t writeCount, uint32_t readCount,
                            bool sendImmediate, uint32_t* readStart) {
    uint32_t used = BuildStartSequence(out, t);
    Burst write(out + used);
    write.ByteOut(static_cast<uint8_t>(address << 1));
    for (uint32_t i = 0; i < writeCount; ++i) write.ByteOut(bytes[i]);
    used += write.size();
    if (readStart) *readStart = used;
    used += BuildStartSequence(out + used, t);  // SCL low on entry: a repeated START
    Burst read(out + used);
    read.ByteOut(static_cast<uint8_t>((address << 1) | 1));
    for (uint32_t i = 0; i < readCount; ++i) read.ByteIn(i + 1 == readCount);
    used += read.size();
    used += BuildStopSequence(out + used, t);
    if (sendImmediate) out[used++] = kSendImmediate;
    return used;
}

double LeastWireSeconds(const uint8_t* burst, uint32_t from, uint32_t to, uint32_t clockRate) {
    uint64_t bits = 0;
    uint32_t i = from;
    while (i < to) {
        switch (burst[i]) {
            case kClockBitsOutFallingMsb:  // n, byte: n + 1 bits
                if (i + 1 < to) bits += burst[i + 1] + 1u;
                i += 3;
                break;
            case kClockBitsInRisingMsb:  // n: n + 1 bits
                if (i + 1 < to) bits += burst[i + 1] + 1u;
                i += 2;
                break;
            case kSetLowPins:
            case kSetHighPins:
                i += 3;
                break;
            default:  // a send-immediate and other one-byte commands
                i += 1;
                break;
        }
    }
    return clockRate ? static_cast<double>(bits) / clockRate : 0;
}

uint32_t I2C_DeviceWriteRead(FtHandle channel, uint8_t address, uint32_t writeCount,
                             const uint8_t* bytes, uint32_t readCount, uint8_t* buffer,
                             uint32_t* received, LatchTiming* latch) {
    *received = 0;
    if (!channel) return kEngineNoChannel;
    Ft().Purge(channel, kFtPurgeRx | kFtPurgeTx);  // a stale answer would shift the acknowledges
    const TimingRecord& t = TimingFor(channel);
    const bool immediate = SendsImmediately();
    OwnedBytes burst(CombinedBurstSize(t, writeCount, readCount, immediate));
    const uint32_t acks = writeCount + 2;  // both addresses and every byte written
    OwnedBytes ackBits(acks);
    if (!burst.data || !ackBits.data) return kEngineNoMemory;
    uint32_t readStart = 0;
    const uint32_t used = BuildCombinedBurst(burst.data, t, address, bytes, writeCount, readCount,
                                             immediate, &readStart);
    if (latch) {
        latch->afterStartSeconds = LeastWireSeconds(burst.data, 0, readStart, t.clockRate);
        latch->beforeEndSeconds = LeastWireSeconds(burst.data, readStart, used, t.clockRate);
    }
    uint32_t status = WriteAll(channel, burst.data, used);
    if (status != kEngineOk) return status;
    uint32_t got = 0;
    if ((status = ReadAll(channel, ackBits.data, acks, &got)) != kEngineOk) return status;
    status = ReadAll(channel, buffer, readCount, &got);
    *received = got;
    if (status != kEngineOk) return status;
    if (ackBits.data[0] & 0x01) return kEngineAddressNack;
    for (uint32_t i = 1; i < acks; ++i) {
        if (ackBits.data[i] & 0x01) return i + 1 == acks ? kEngineAddressNack : kEngineDataNack;
    }
    return kEngineOk;
}

const TimingRecord& TimingFor(FtHandle channel) {
    for (TimingRecord* r = Bridge().timingRecords; r; r = r->next) {
        if (r->channel == channel) return *r;
    }
    return kStandardModeTiming;
}

void StoreTimingRecord(FtHandle channel, uint32_t clockRate) {
    const TimingRecord& row = clockRate < kFastModeRate ? kStandardModeTiming : kFastModeTiming;
    TimingRecord* record = nullptr;
    for (TimingRecord* r = Bridge().timingRecords; r && !record; r = r->next) {
        if (r->channel == channel) record = r;
    }
    if (record) {
        TimingRecord* keep = record->next;
        *record = row;
        record->next = keep;
    } else {
        record = new (std::nothrow) TimingRecord(row);
        if (!record) return;  // the standard row applies when no record is found
        record->next = Bridge().timingRecords;
        Bridge().timingRecords = record;
    }
    record->channel = channel;
    record->clockRate = clockRate;
}

void FreeTimingRecord(FtHandle channel) {
    for (TimingRecord** link = &Bridge().timingRecords; *link; link = &(*link)->next) {
        if ((*link)->channel == channel) {
            TimingRecord* gone = *link;
            *link = gone->next;
            delete gone;
            return;
        }
    }
}

}  // namespace kalendo
