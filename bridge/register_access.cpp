#include "bridge/register_access.h"

#include <cstring>
#include <new>

#include "bridge/bus_action.h"
#include "bridge/bus_lock.h"
#include "bridge/engine_commands.h"
#include "bridge/i2c_engine.h"

namespace kalendo {

namespace {

struct DeviceRow {
    const char* name;
    const char* description;
    DeviceKind kind;
    uint8_t address;
};

// Every board carries the same three rows; both RTC rows share the RTC's address.
constexpr DeviceRow kDeviceRows[] = {
    {"ISL28023", "Intersil ISL28023", DeviceKind::PowerMonitor, 0x40},
    {"Novar TQ5100", "Harlo Novar TQ5100 RTC", DeviceKind::Rtc, 0x32},
    {"Novar TQ5200", "Harlo Novar TQ5200 RTC", DeviceKind::Rtc, 0x32},
};
constexpr uint32_t kDeviceClockRate = 100000;
constexpr uint8_t kDeviceLatencyTimer = 2;
constexpr uint32_t kDeviceOptions = kOptionDriveLowOnly;

constexpr uint8_t kUpperPortFoutGate = 0x08;

// The sticky status for callers of the selection-based functions, and the failure for every
// action of this thread that is collecting. The sticky status is written only where no other
// thread is inside a transfer: a transfer that did not get the bus leaves the other thread's
// result alone.
void SetBusStatus(int32_t code) {
    SetBusStatusIfFree(code);
    NoteBusFailure(code);
}

uint8_t BoardOf(DeviceHandle h) {
    return static_cast<uint8_t>(h >> 8);
}
uint8_t DeviceOf(DeviceHandle h) {
    return static_cast<uint8_t>(h & 0xFF);
}

uint32_t MaskFor(uint32_t width) {
    return Bridge().WidthMask[width <= 32 ? width : 32];
}

// Bytes of a value of this width; the widths in use are whole bytes up to four.
uint32_t ByteCount(uint32_t width) {
    uint32_t n = width / 8;
    return n <= 4 ? n : 4;
}

// Releases the bus a START without its STOP left held.
void SendStop(uint8_t address) {
    uint32_t sent = 0;
    I2C_DeviceWrite(address, 0, nullptr, &sent, XFER_STOP | XFER_BURST | XFER_NO_ADDRESS);
}

// Each register transaction gives its own outcome (the status it set, 0 for none), so a caller
// never judges its transfer by a status another transfer may have set.
int32_t ReadPowerMonitorRegister(uint8_t address, uint8_t reg, uint32_t n, uint32_t* value) {
    *value = 0xFFFF;
    uint32_t sent = 0;
    if (I2C_DeviceWrite(address, 1, &reg, &sent, XFER_START | XFER_BURST) != kEngineOk ||
        sent != 1) {
        // Reading on would return whichever register the pointer held before.
        SendStop(address);
        SetBusStatus(kBusTransactionFailed);
        return kBusTransactionFailed;
    }
    uint8_t bytes[4] = {};
    uint32_t received = 0;
    uint32_t status = I2C_DeviceRead(Bridge().ChannelHandle, address, n, bytes, &received);
    if (status != kEngineOk || received != n) {
        SetBusStatus(kBusTransactionFailed);
        return kBusTransactionFailed;
    }
    uint32_t v = 0;
    for (uint32_t i = 0; i < n; ++i) v = (v << 8) | bytes[i];  // most significant first
    *value = v;
    return kBusOk;
}

int32_t ReadRtcRegister(uint8_t address, uint8_t reg, uint32_t n, uint32_t* value) {
    uint8_t bytes[4] = {};
    uint32_t sent = 0;
    uint32_t status = I2C_DeviceWrite(address, 1, &reg, &sent, XFER_START | XFER_BURST);
    bool ok = status == kEngineOk && sent == 1;
    if (!ok) {
        SendStop(address);
    } else {
        uint32_t received = 0;
        status = I2C_DeviceRead(Bridge().ChannelHandle, address, n, bytes, &received);
        ok = status == kEngineOk && received == n;
    }
    if (!ok) SetBusStatus(kBusTransactionFailed);
    // Least significant first; bytes not read stay 0.
    *value = bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (uint32_t{bytes[3]} << 24);
    return ok ? kBusOk : kBusTransactionFailed;
}

// The value of a register's bytes: the power monitor sends the most significant first, the RTC
// the least.
uint32_t Assemble(const uint8_t* bytes, uint32_t n, bool mostSignificantFirst) {
    uint32_t v = 0;
    for (uint32_t i = 0; i < n; ++i) {
        v |= uint32_t{bytes[i]} << (mostSignificantFirst ? 8 * (n - 1 - i) : 8 * i);
    }
    return v;
}

int32_t ReadRegisterInOneBurst(uint8_t address, uint8_t reg, uint32_t n, bool mostSignificantFirst,
                               uint32_t* value, LatchTiming* latch) {
    uint8_t bytes[4] = {};
    uint32_t received = 0;
    const uint32_t status = I2C_DeviceWriteRead(Bridge().ChannelHandle, address, 1, &reg, n, bytes,
                                                &received, latch);
    if (status != kEngineOk || received != n) {
        SetBusStatus(kBusTransactionFailed);
        *value = mostSignificantFirst ? 0xFFFF : 0;  // as the two-burst reads' fallbacks
        return kBusTransactionFailed;
    }
    *value = Assemble(bytes, n, mostSignificantFirst);
    return kBusOk;
}

// Before a burst: an engine left with part of an answer still to come is drained and
// resynchronised first. False when it does not echo: the board still does not answer, and this
// thread stops waiting for it.
bool EngineReady() {
    if (!Bridge().engineNeedsResync) return true;
    if (RecoverEngine() == kEngineOk) return true;
    LatchBoardSilence();
    return false;
}

void CopyText(char* out, size_t capacity, const char* text) {
    std::strncpy(out, text, capacity - 1);
    out[capacity - 1] = '\0';
}

// The answer to a read with no valid selection: all ones of the width, at most 24 bits.
uint32_t InvalidSelectionRead(uint32_t width) {
    SetBusStatus(kBusInvalidSelection);
    return MaskFor(width) & 0xFFFFFF;
}

}  // namespace

bool IsValidHandle(DeviceHandle h) {
    if (h == 0) return false;
    const BridgeState& s = Bridge();
    uint32_t board = uint32_t{BoardOf(h)} - 1;  // a zero byte wraps and is never valid
    uint32_t device = uint32_t{DeviceOf(h)} - 1;
    if (board >= s.boardCount || !s.boards[board]) return false;
    const BoardEntry& b = *s.boards[board];
    return device < b.deviceCount && device < kDeviceSlots && b.devices[device];
}

DeviceEntry* EntryOf(DeviceHandle h) {
    if (!IsValidHandle(h)) return nullptr;
    return Bridge().boards[BoardOf(h) - 1]->devices[DeviceOf(h) - 1];
}

void FillWidthMask() {
    uint32_t* mask = Bridge().WidthMask;
    mask[0] = 0;
    for (int w = 1; w <= 32; ++w) mask[w] = mask[w - 1] * 2 + 1;
}

DeviceHandle FirstDeviceOfBoard(uint32_t boardIndex) {
    if (boardIndex >= Bridge().boardCount) return 0;
    return static_cast<DeviceHandle>(((boardIndex + 1) << 8) | 1);
}

DeviceHandle FindDeviceByName(DeviceHandle board, const char* name) {
    BridgeState& s = Bridge();
    uint32_t index = uint32_t{BoardOf(board)} - 1;
    if (board == 0 || index >= s.boardCount || !s.boards[index]) {
        SetBusStatus(kBusInvalidSelection);
        return 0;
    }
    const BoardEntry& b = *s.boards[index];
    for (uint32_t d = 0; d < b.deviceCount && d < kDeviceSlots; ++d) {
        if (b.devices[d] && std::strcmp(b.devices[d]->name, name) == 0) {
            return static_cast<DeviceHandle>(((index + 1) << 8) | (d + 1));
        }
    }
    return 0;
}

DeviceHandle SelectDevice(DeviceHandle h) {
    BridgeState& s = Bridge();
    DeviceHandle previous = s.ActiveDevice;
    if (!IsValidHandle(h)) {
        SetBusStatus(kBusTransactionFailed);
        return previous;
    }
    AttachDevice(h);
    s.ActiveDevice = h;
    return previous;
}

DeviceHandle AttachDevice(DeviceHandle h) {
    BridgeState& s = Bridge();
    DeviceEntry* entry = EntryOf(h);
    if (!entry) {
        SetBusStatus(kBusInvalidSelection);
        return 0;
    }
    s.BusTarget = entry;
    BoardEntry& board = *s.boards[BoardOf(h) - 1];
    if (board.attachedCount == 0) {
        // An action that stopped using the bus (busy, or a set-up that already failed) does not
        // try the set-up again: each try costs its polls and touches the channel.
        if (BusActionStopped()) {
            SetBusStatus(kBusNoChannel);
            return 0;
        }
        // Nothing is marked when the open or the set-up fails, so the next attach opens and
        // configures again; the transactions meanwhile fail for want of a channel.
        if (OpenBoardChannel(board) != kEngineOk) {
            SetBusStatus(kBusNoChannel);
            return 0;
        }
        if (ConfigureChannel(entry->clockRate, entry->latencyTimer, entry->options) != kEngineOk) {
            // Left open, the channel would refuse the next open as already open and keep its
            // loop-back on, so every acknowledge and read would seem to succeed.
            FreeTimingRecord(s.ChannelHandle);
            s.ft.Close(s.ChannelHandle);
            s.ChannelHandle = nullptr;
            SetBusStatus(kBusNoChannel);
            // Every transfer of the action would try the set-up again, each costing its polls.
            NoteBoardSilent();
            return 0;
        }
    }
    if (!entry->attached) {
        ++board.attachedCount;
        entry->attached = 1;
    }
    return h;
}

int OpenSelectedDevice() {
    BridgeState& s = Bridge();
    DeviceEntry* entry = EntryOf(s.ActiveDevice);
    if (!entry) {
        SetBusStatus(kBusInvalidSelection);
        return 0;
    }
    entry->attached = 1;
    return entry->attached;
}

void BuildDeviceTable(uint32_t channelIndex) {
    BridgeState& s = Bridge();
    if (s.boardCount >= kMaxBoards || !s.boards[s.boardCount]) return;
    BoardEntry& board = *s.boards[s.boardCount];
    for (DeviceEntry* d : board.devices) {
        if (d) d->present = 0;
    }
    uint32_t filled = 0;
    for (const DeviceRow& row : kDeviceRows) {
        DeviceEntry* entry = new (std::nothrow) DeviceEntry();
        if (!entry) break;
        CopyText(entry->name, sizeof(entry->name), row.name);
        CopyText(entry->description, sizeof(entry->description), row.description);
        entry->present = 1;
        entry->attached = 0;
        entry->channelIndex = channelIndex;
        entry->kind = static_cast<uint32_t>(row.kind);
        entry->clockRate = kDeviceClockRate;
        entry->latencyTimer = kDeviceLatencyTimer;
        entry->options = kDeviceOptions;
        entry->address = row.address;
        delete board.devices[filled];
        board.devices[filled++] = entry;
    }
    board.deviceCount = filled;
}

uint32_t ReadRegisterChecked(uint8_t reg, uint32_t width) {
    if (!IsValidHandle(Bridge().ActiveDevice)) return InvalidSelectionRead(width);
    return ReadDeviceRegister(reg, width);
}

void WriteRegisterChecked(uint8_t reg, uint32_t value, uint32_t width) {
    if (!IsValidHandle(Bridge().ActiveDevice)) {
        SetBusStatus(kBusInvalidSelection);
        return;
    }
    WriteDeviceRegister(reg, value, width);
}

namespace {

// The pages' register read (two bursts) or the timed polls' (one).
enum class ReadForm { TwoBursts, OneBurst };

// One register read of the selected device, under the bus: its outcome, the value (the
// fallback after a failure) in *value.
int32_t ReadSelected(uint8_t reg, uint32_t width, uint32_t* value,
                     ReadForm form = ReadForm::TwoBursts, LatchTiming* latch = nullptr) {
    BridgeState& s = Bridge();
    // Callers test the selection first; an invalid one gets the checked form's answer rather
    // than a transaction to nowhere.
    if (!IsValidHandle(s.ActiveDevice) || !s.BusTarget) {
        *value = InvalidSelectionRead(width);
        return kBusInvalidSelection;
    }
    const bool powerMonitor = DeviceOf(s.ActiveDevice) == kPowerMonitorDevice;
    BusLock lock;
    if (!lock.Usable() || !EngineReady()) {
        SetBusStatus(kBusTransactionFailed);
        *value = (powerMonitor ? 0xFFFF : 0) & MaskFor(width);
        return kBusTransactionFailed;
    }
    const uint32_t n = ByteCount(width);
    const uint8_t address = s.BusTarget->address;
    uint32_t v = 0;
    const int32_t outcome =
        form == ReadForm::OneBurst
            ? ReadRegisterInOneBurst(address, reg, n, powerMonitor, &v, latch)
        : powerMonitor ? ReadPowerMonitorRegister(address, reg, n, &v)
                       : ReadRtcRegister(address, reg, n, &v);
    *value = v & MaskFor(width);
    return outcome;
}

int32_t WriteSelected(uint8_t reg, uint32_t value, uint32_t width, WhenStopped stopped) {
    BridgeState& s = Bridge();
    if (!IsValidHandle(s.ActiveDevice) || !s.BusTarget) {
        SetBusStatus(kBusInvalidSelection);
        return kBusInvalidSelection;
    }
    const uint32_t n = ByteCount(width);
    uint8_t message[5] = {reg};
    for (uint32_t i = 0; i < n; ++i) {
        // The power monitor takes the most significant byte first, the RTC the least.
        uint32_t shift = DeviceOf(s.ActiveDevice) == kPowerMonitorDevice ? 8 * (n - 1 - i) : 8 * i;
        message[1 + i] = static_cast<uint8_t>(value >> shift);
    }
    BusLock lock(stopped);
    if (!lock.Usable() || !EngineReady()) {
        SetBusStatus(kBusTransactionFailed);
        return kBusTransactionFailed;
    }
    uint32_t sent = 0;
    uint32_t status = I2C_DeviceWrite(s.BusTarget->address, n + 1, message, &sent,
                                      XFER_START | XFER_STOP | XFER_BURST);
    if (status != kEngineOk || sent != n + 1) {
        SetBusStatus(kBusTransactionFailed);
        return kBusTransactionFailed;
    }
    return kBusOk;
}

// Runs one transaction on `device` alone. The bus is this thread's before the device is
// selected, so another thread's transfer (the window's check runs beside its status tick)
// cannot select its own device in between; the transaction's own outcome says whether it
// succeeded.
// The port's answer timing, for the one transaction made under the bus.
class AnswerTimingScope {
  public:
    explicit AnswerTimingScope(AnswerTiming timing) {
        Bridge().sendImmediate = timing == AnswerTiming::Immediate;
    }
    ~AnswerTimingScope() { Bridge().sendImmediate = false; }
    AnswerTimingScope(const AnswerTimingScope&) = delete;
    AnswerTimingScope& operator=(const AnswerTimingScope&) = delete;
};

template <typename Transaction>
bool OnDevice(DeviceHandle device, WhenStopped stopped, AnswerTiming timing,
              Transaction transaction) {
    if (!IsValidHandle(device)) {
        // Selecting it would keep the previous device, and the transaction would go there.
        SetBusStatus(kBusInvalidSelection);
        return false;
    }
    BusLock lock(stopped);
    if (!lock.Usable()) {
        SetBusStatus(kBusTransactionFailed);
        return false;
    }
    SelectDevice(device);
    OpenSelectedDevice();
    const AnswerTimingScope answers(timing);
    return transaction() == kBusOk;
}

}  // namespace

uint32_t ReadDeviceRegister(uint8_t reg, uint32_t width) {
    uint32_t value = 0;
    ReadSelected(reg, width, &value);
    return value;
}

void WriteDeviceRegister(uint8_t reg, uint32_t value, uint32_t width) {
    WriteSelected(reg, value, width, WhenStopped::Skip);
}

void WriteDeviceRegister(uint8_t reg, uint32_t value, uint32_t width, WhenStopped stopped) {
    WriteSelected(reg, value, width, stopped);
}

bool ReadRegisterOf(DeviceHandle device, uint8_t reg, uint32_t width, uint32_t* value,
                    AnswerTiming timing) {
    uint32_t v = 0;
    const bool ok =
        OnDevice(device, WhenStopped::Skip, timing, [&] { return ReadSelected(reg, width, &v); });
    if (!IsValidHandle(device)) v = MaskFor(width) & 0xFFFFFF;  // the checked read's fallback
    *value = v;
    return ok;
}

bool WriteRegisterOf(DeviceHandle device, uint8_t reg, uint32_t value, uint32_t width,
                     WhenStopped stopped, AnswerTiming timing) {
    return OnDevice(device, stopped, timing,
                    [&] { return WriteSelected(reg, value, width, stopped); });
}

bool ReadRegisterInOneBurstOf(DeviceHandle device, uint8_t reg, uint32_t width, uint32_t* value,
                              AnswerTiming timing, LatchTiming* latch) {
    uint32_t v = 0;
    LatchTiming taken;
    const bool ok = OnDevice(device, WhenStopped::Skip, timing, [&] {
        return ReadSelected(reg, width, &v, ReadForm::OneBurst, &taken);
    });
    if (!IsValidHandle(device)) v = MaskFor(width) & 0xFFFFFF;  // the checked read's fallback
    *value = v;
    if (latch) *latch = ok ? taken : LatchTiming();
    return ok;
}

int SetBridgeOutputPin(uint32_t level) {
    BridgeState& s = Bridge();
    // Under the bus like any transfer: another thread's burst must not have the pin command in
    // its middle, nor its purge the command before the engine took it. A clean-up (the gate
    // going low) goes out after a silent read too, once the engine answers again.
    BusLock lock(WhenStopped::SendAnyway);
    if (!s.ChannelHandle) {
        SetBusStatus(kBusNoChannel);
        return 0;
    }
    if (!lock.Usable() || !EngineReady()) {
        SetBusStatus(kBusTransactionFailed);
        return 0;
    }
    s.UpperPortValue = static_cast<uint8_t>((s.UpperPortValue & ~kUpperPortFoutGate) |
                                            (level & kUpperPortFoutGate));
    s.UpperPortDirection |= kUpperPortFoutGate;
    const uint8_t command[3] = {engine::kSetHighPins, s.UpperPortValue, s.UpperPortDirection};
    uint32_t written = 0;
    if (s.ft.Write(s.ChannelHandle, command, sizeof(command), &written) == kFtOk &&
        written == sizeof(command)) {
        return 1;
    }
    SetBusStatus(kBusTransactionFailed);
    return 0;
}

}  // namespace kalendo
