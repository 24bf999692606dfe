#include "sim/library/simulated_library.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

namespace kalendo::sim {

namespace {

constexpr uint32_t kVendorId = 0x0403;

// USB identifier (vendor << 16 | product) of each chip type.
uint32_t UsbIdFor(uint32_t type) {
    switch (type) {
        case 8:
            return kVendorId << 16 | 0x6014;  // FT232H
        case 7:
            return kVendorId << 16 | 0x6011;  // FT4232H
        default:
            return kVendorId << 16 | 0x6010;  // FT2232C/D and FT2232H
    }
}

void CopyText(char* out, size_t capacity, const std::string& text) {
    const size_t n = std::min(capacity - 1, text.size());
    std::memcpy(out, text.data(), n);
    std::memset(out + n, 0, capacity - n);
}

// Host time a status poll stands for on the virtual clock.
constexpr int64_t kPollPs = 1'000'000'000;

uint64_t P(const void* p) {
    return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(p));
}

}  // namespace

std::vector<UsbDeviceEntry> DefaultDeviceList() {
    return {UsbDeviceEntry{}};
}

struct SimulatedLibrary::Device {
    UsbDeviceEntry listing;
    std::unique_ptr<I2cBus> ownBus;  // devices other than the board: an empty bus
    std::unique_ptr<SerialEngine> engine;
    AnswerDelivery delivery;  // between the engine and the host
    bool plugged = true;
    uint32_t generation = 0;
    bool open = false;
    uintptr_t handle = 0;
    uint8_t bitMode = 0;
    uint32_t readTimeoutMs = 0;
    uint32_t writeTimeoutMs = 0;
};

SimulatedLibrary::SimulatedLibrary() {
    Reset();
}

SimulatedLibrary::~SimulatedLibrary() = default;

SimulatedLibrary& Simulator() {
    // Never destroyed: the DLL may still be called while the process tears down.
    static SimulatedLibrary* instance = new SimulatedLibrary();
    return *instance;
}

void SimulatedLibrary::Reset() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    for (I2cSlave* s : slaves_) boardBus_.DetachSlave(s);
    slaves_.clear();
    boardBus_.DetachAllSlaves();
    for (int a = 0; a < 128; ++a) boardBus_.SetAddressAcknowledge(static_cast<uint8_t>(a), true);
    boardBus_.ResetDecoder();
    failOpen_ = failWrite_ = kFtOk;
    shortRead_.Set(0);
    shortWrite_.Set(0);
    inUse_.clear();
    answerDelayMs_ = 0;
    usbRoundTripUs_ = kDefaultUsbRoundTripUs;
    pinCommandNs_ = kCommandPs / 1000;
    engineEcho_ = true;
    clock_.UseVirtual(false);
    recording_ = false;
    calls_.clear();
    writes_.clear();
    listed_ = DefaultDeviceList();
    RebuildDevices();
}

void SimulatedLibrary::RebuildDevices() {
    handles_.clear();
    devices_.clear();
    boardIndex_ = SIZE_MAX;
    for (size_t i = 0; i < listed_.size(); ++i) {
        auto d = std::make_unique<Device>();
        d->listing = listed_[i];
        const bool board = boardIndex_ == SIZE_MAX && d->listing.description == "UM232H";
        if (board) {
            boardIndex_ = i;
            d->engine = std::make_unique<SerialEngine>(boardBus_);
        } else {
            d->ownBus = std::make_unique<I2cBus>();
            d->engine = std::make_unique<SerialEngine>(*d->ownBus);
        }
        d->engine->SetAnswerInvalidOpcodes(engineEcho_);
        d->engine->SetAnswerSink(&d->delivery);
        d->engine->SetCommandPs(int64_t{pinCommandNs_} * 1000);
        d->delivery.Reset(clock_.NowPs());
        devices_.push_back(std::move(d));
    }
    inUse_.assign(devices_.size(), false);
    ApplyAnswerDelay();
    boardBus_.ResetDecoder();
}

void SimulatedLibrary::ApplyAnswerDelay() {
    for (size_t i = 0; i < devices_.size(); ++i) {
        devices_[i]->delivery.SetExtraDelayPs(
            i == boardIndex_ ? int64_t{answerDelayMs_} * 1'000'000'000 : 0);
        devices_[i]->delivery.SetRoundTripPs(int64_t{usbRoundTripUs_} * 1'000'000);
    }
}

void SimulatedLibrary::SetDeviceList(const std::vector<UsbDeviceEntry>& devices) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    listed_ = devices;
    RebuildDevices();
}

std::vector<UsbDeviceEntry> SimulatedLibrary::DeviceList() const {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return listed_;
}

void SimulatedLibrary::Unplug() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (boardIndex_ == SIZE_MAX) return;
    Device& d = *devices_[boardIndex_];
    if (!d.plugged) return;
    d.plugged = false;
    d.open = false;
    d.handle = 0;
    ++d.generation;
}

void SimulatedLibrary::PlugBack() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (boardIndex_ == SIZE_MAX) return;
    Device& d = *devices_[boardIndex_];
    if (d.plugged) return;
    // Powered up again: a fresh engine and an idle bus.
    d.plugged = true;
    d.bitMode = 0;
    d.engine->Reset();
    d.delivery.Reset(clock_.NowPs());
    boardBus_.ResetDecoder();
}

bool SimulatedLibrary::Plugged() const {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return boardIndex_ != SIZE_MAX && devices_[boardIndex_]->plugged;
}

void SimulatedLibrary::AttachSlave(I2cSlave* slave) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (!slave || std::find(slaves_.begin(), slaves_.end(), slave) != slaves_.end()) return;
    slaves_.push_back(slave);
    boardBus_.AttachSlave(slave);
}

void SimulatedLibrary::DetachSlave(I2cSlave* slave) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    slaves_.erase(std::remove(slaves_.begin(), slaves_.end(), slave), slaves_.end());
    boardBus_.DetachSlave(slave);
}

void SimulatedLibrary::SetAddressAcknowledge(uint8_t address, bool on) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    boardBus_.SetAddressAcknowledge(address, on);
}

void SimulatedLibrary::SetFailOpen(FtStatus status) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    failOpen_ = status;
}

void SimulatedLibrary::SetFailWrite(FtStatus status) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    failWrite_ = status;
}

void SimulatedLibrary::SetShortRead(int64_t nth) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    shortRead_.Set(nth);
}

void SimulatedLibrary::SetShortWrite(int64_t nth) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    shortWrite_.Set(nth);
}

void SimulatedLibrary::SetInUse(size_t position, bool on) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (position < inUse_.size()) inUse_[position] = on;
}

void SimulatedLibrary::SetAnswerDelayMs(uint32_t ms) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    answerDelayMs_ = ms;
    ApplyAnswerDelay();
}

void SimulatedLibrary::SetUsbRoundTripUs(uint32_t us) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    usbRoundTripUs_ = us;
    ApplyAnswerDelay();
}

void SimulatedLibrary::SetPinCommandNs(uint32_t ns) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    pinCommandNs_ = ns;
    for (auto& d : devices_) d->engine->SetCommandPs(int64_t{ns} * 1000);
}

uint32_t SimulatedLibrary::PinCommandNs() const {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return pinCommandNs_;
}

void SimulatedLibrary::SetEngineEcho(bool on) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    engineEcho_ = on;
    for (auto& d : devices_) d->engine->SetAnswerInvalidOpcodes(on);
}

void SimulatedLibrary::SetBeforeEachCall(std::function<void()> hook) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    beforeEachCall_ = std::move(hook);
}

SerialEngine* SimulatedLibrary::BoardEngine() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return boardIndex_ == SIZE_MAX ? nullptr : devices_[boardIndex_]->engine.get();
}

void SimulatedLibrary::WithLock(const std::function<void()>& f) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    f();
}

void SimulatedLibrary::SetRecording(bool on) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    recording_ = on;
}

std::vector<LibraryCall> SimulatedLibrary::Calls() const {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return calls_;
}

std::vector<std::vector<uint8_t>> SimulatedLibrary::Writes() const {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return writes_;
}

void SimulatedLibrary::ClearRecording() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    calls_.clear();
    writes_.clear();
}

// Caller holds the lock.
void SimulatedLibrary::BeginCall(const char* name, std::initializer_list<uint64_t> args) {
    if (recording_) calls_.push_back(LibraryCall{name, std::vector<uint64_t>(args)});
}

std::vector<size_t> SimulatedLibrary::VisibleDevices() const {
    std::vector<size_t> visible;
    for (size_t i = 0; i < devices_.size(); ++i) {
        if (devices_[i]->plugged) visible.push_back(i);
    }
    return visible;
}

FtStatus SimulatedLibrary::Lookup(FtHandle handle, Device** device) {
    auto it = handles_.find(reinterpret_cast<uintptr_t>(handle));
    if (it == handles_.end()) return kFtInvalidHandle;
    Device& d = *devices_[it->second.device];
    if (!d.plugged || d.generation != it->second.generation) return kFtIoError;
    *device = &d;
    return kFtOk;
}

// Every entry point first runs the hook (outside the lock: it may call the control half).
#define KALENDO_SIM_ENTER(name, ...)                     \
    if (beforeEachCall_) beforeEachCall_();              \
    std::unique_lock<std::recursive_mutex> lock(mutex_); \
    BeginCall(name, {__VA_ARGS__})

FtStatus SimulatedLibrary::GetLibraryVersion(uint32_t* version) {
    KALENDO_SIM_ENTER("FT_GetLibraryVersion", P(version));
    if (!version) return kFtInvalidParameter;
    *version = kSimLibraryVersion;
    return kFtOk;
}

FtStatus SimulatedLibrary::CreateDeviceInfoList(uint32_t* count) {
    KALENDO_SIM_ENTER("FT_CreateDeviceInfoList", P(count));
    if (!count) return kFtInvalidParameter;
    *count = static_cast<uint32_t>(VisibleDevices().size());
    return kFtOk;
}

// The count going in is the room in records; coming out, the number of records filled.
FtStatus SimulatedLibrary::GetDeviceInfoList(FtDeviceListNode* records, uint32_t* count) {
    KALENDO_SIM_ENTER("FT_GetDeviceInfoList", P(records), count ? *count : 0);
    if (!count || (!records && *count)) return kFtInvalidParameter;
    const std::vector<size_t> visible = VisibleDevices();
    const uint32_t n = std::min<uint32_t>(*count, static_cast<uint32_t>(visible.size()));
    for (uint32_t i = 0; i < n; ++i) {
        const Device& d = *devices_[visible[i]];
        FtDeviceListNode& r = records[i];
        if (inUse_[visible[i]] && !d.open) {
            // Open in another process. The D2XX programmer's guide: "Information is not available
            // for devices which are open in other processes."
            r = FtDeviceListNode{};
            r.flags = 1;
            continue;
        }
        r.flags = d.open ? 1 : 0;
        r.type = d.listing.type;
        r.id = UsbIdFor(d.listing.type);
        r.locationId = d.listing.locationId;
        CopyText(r.serialNumber, sizeof r.serialNumber, d.listing.serial);
        CopyText(r.description, sizeof r.description, d.listing.description);
        r.handle = d.open ? reinterpret_cast<FtHandle>(d.handle) : nullptr;
    }
    *count = n;
    return kFtOk;
}

FtStatus SimulatedLibrary::Open(int position, FtHandle* handle) {
    KALENDO_SIM_ENTER("FT_Open", static_cast<uint64_t>(position), P(handle));
    if (!handle) return kFtInvalidParameter;
    *handle = nullptr;
    if (failOpen_ != kFtOk) return failOpen_;
    const std::vector<size_t> visible = VisibleDevices();
    if (position < 0 || static_cast<size_t>(position) >= visible.size()) {
        return kFtDeviceNotFound;
    }
    Device& d = *devices_[visible[static_cast<size_t>(position)]];
    if (d.open || inUse_[visible[static_cast<size_t>(position)]]) return kFtDeviceNotOpened;
    d.open = true;
    d.handle = nextHandle_++;
    // Opening a handle leaves the chip as it is: its bit mode and pins stay as the last program
    // left them until FT_SetBitMode changes them or the chip loses power (PlugBack). The D2XX
    // guide's FT_Open only "open[s] the device and return[s] a handle", and FT_ResetDevice's
    // "Reset SIO" purges and resets the UART settings, not the bit mode.
    d.delivery.Reset(clock_.NowPs());
    d.delivery.SetLatencyMs(16, clock_.NowPs());
    handles_[d.handle] = OpenHandle{visible[static_cast<size_t>(position)], d.generation};
    *handle = reinterpret_cast<FtHandle>(d.handle);
    return kFtOk;
}

FtStatus SimulatedLibrary::Close(FtHandle handle) {
    KALENDO_SIM_ENTER("FT_Close", P(handle));
    auto it = handles_.find(reinterpret_cast<uintptr_t>(handle));
    if (it == handles_.end()) return kFtInvalidHandle;
    Device& d = *devices_[it->second.device];
    const bool stale = !d.plugged || d.generation != it->second.generation;
    handles_.erase(it);
    if (stale) return kFtIoError;
    d.open = false;
    d.handle = 0;
    return kFtOk;
}

FtStatus SimulatedLibrary::ResetDevice(FtHandle handle) {
    KALENDO_SIM_ENTER("FT_ResetDevice", P(handle));
    Device* d = nullptr;
    if (FtStatus s = Lookup(handle, &d)) return s;
    d->engine->PurgeAnswers();
    d->engine->PurgeCommands();
    d->delivery.Clear();
    return kFtOk;
}

FtStatus SimulatedLibrary::Purge(FtHandle handle, uint32_t mask) {
    KALENDO_SIM_ENTER("FT_Purge", P(handle), mask);
    Device* d = nullptr;
    if (FtStatus s = Lookup(handle, &d)) return s;
    if (mask & kFtPurgeRx) {
        d->engine->PurgeAnswers();
        d->delivery.Purge(clock_.NowPs());
    }
    if (mask & kFtPurgeTx) d->engine->PurgeCommands();
    return kFtOk;
}

FtStatus SimulatedLibrary::SetUsbParameters(FtHandle handle, uint32_t inSize, uint32_t outSize) {
    KALENDO_SIM_ENTER("FT_SetUSBParameters", P(handle), inSize, outSize);
    Device* d = nullptr;
    return Lookup(handle, &d);
}

FtStatus SimulatedLibrary::SetChars(FtHandle handle, uint8_t eventChar, uint8_t eventEnable,
                                    uint8_t errorChar, uint8_t errorEnable) {
    KALENDO_SIM_ENTER("FT_SetChars", P(handle), eventChar, eventEnable, errorChar, errorEnable);
    Device* d = nullptr;
    return Lookup(handle, &d);
}

FtStatus SimulatedLibrary::SetTimeouts(FtHandle handle, uint32_t readMs, uint32_t writeMs) {
    KALENDO_SIM_ENTER("FT_SetTimeouts", P(handle), readMs, writeMs);
    Device* d = nullptr;
    if (FtStatus s = Lookup(handle, &d)) return s;
    d->readTimeoutMs = readMs;
    d->writeTimeoutMs = writeMs;
    return kFtOk;
}

FtStatus SimulatedLibrary::SetLatencyTimer(FtHandle handle, uint8_t ms) {
    KALENDO_SIM_ENTER("FT_SetLatencyTimer", P(handle), ms);
    Device* d = nullptr;
    if (FtStatus s = Lookup(handle, &d)) return s;
    d->delivery.SetLatencyMs(ms, clock_.NowPs());
    return kFtOk;
}

// Mode 2 starts the serial engine afresh; mode 0 (reset) hands the pins back to the UART; any
// other mode stops the engine too. Written bytes are then not engine commands.
FtStatus SimulatedLibrary::SetBitMode(FtHandle handle, uint8_t mask, uint8_t mode) {
    KALENDO_SIM_ENTER("FT_SetBitMode", P(handle), mask, mode);
    Device* d = nullptr;
    if (FtStatus s = Lookup(handle, &d)) return s;
    d->bitMode = mode;
    d->engine->PurgeCommands();
    if (mode == kFtBitModeSerialEngine) {
        d->engine->CatchUpWireTime(clock_.NowPs());
        d->engine->Reset();
    } else if (mode == 0) {
        d->engine->CatchUpWireTime(clock_.NowPs());
        d->engine->ReturnToUart();
    }
    return kFtOk;
}

FtStatus SimulatedLibrary::GetQueueStatus(FtHandle handle, uint32_t* waiting) {
    KALENDO_SIM_ENTER("FT_GetQueueStatus", P(handle), P(waiting));
    if (!waiting) return kFtInvalidParameter;
    *waiting = 0;
    Device* d = nullptr;
    if (FtStatus s = Lookup(handle, &d)) return s;
    const int64_t now = clock_.NowPs();
    const size_t arrived = d->delivery.Arrived(now);
    *waiting = static_cast<uint32_t>(arrived);
    // On the virtual clock the host's time between polls is invisible to the board: a poll
    // while the chip still holds answers stands for up to 1 ms of it.
    if (clock_.IsVirtual() && d->delivery.Held(now) > 0) {
        const int64_t next = d->delivery.TimeWhenArrived(arrived + 1, now);
        clock_.AdvanceToPs(std::min(now + kPollPs, next));
    }
    return kFtOk;
}

FtStatus SimulatedLibrary::GetLatencyTimer(FtHandle handle, uint8_t* ms) {
    KALENDO_SIM_ENTER("FT_GetLatencyTimer", P(handle), P(ms));
    if (!ms) return kFtInvalidParameter;
    Device* d = nullptr;
    if (FtStatus s = Lookup(handle, &d)) return s;
    *ms = d->delivery.LatencyMs();
    return kFtOk;
}

// Waits on the board's clock until count bytes have arrived or the read time-out has passed,
// then returns FT_OK with what there is. The D2XX programmer's guide: "FT_Read returns when the
// timer expires or dwBytesToRead have been read, whichever occurs first. If the timeout
// occurred, FT_Read reads available data into the buffer and returns FT_OK." On the real clock the caller sleeps (the lock is let
// go meanwhile, so the control half stays usable); on the virtual clock the clock moves on to
// the arrival or the time-out. Without a time-out set, a read for more than the engine has
// produced returns once what it produced has arrived (the real library would wait forever).
FtStatus SimulatedLibrary::Read(FtHandle handle, void* buffer, uint32_t count, uint32_t* read) {
    KALENDO_SIM_ENTER("FT_Read", P(handle), P(buffer), count, P(read));
    if (!read || (!buffer && count)) return kFtInvalidParameter;
    *read = 0;
    Device* d = nullptr;
    if (FtStatus s = Lookup(handle, &d)) return s;
    const uint32_t wanted = shortRead_.Strikes() ? count / 2 : count;
    const int64_t deadline = d->readTimeoutMs
                                 ? clock_.NowPs() + int64_t{d->readTimeoutMs} * 1'000'000'000
                                 : AnswerDelivery::kNever;
    for (;;) {
        const int64_t now = clock_.NowPs();
        if (d->delivery.Arrived(now) >= wanted || now >= deadline) break;
        int64_t wake = std::min(deadline, d->delivery.TimeWhenArrived(wanted, now));
        if (wake == AnswerDelivery::kNever) {
            // No time-out and not enough coming: what has been produced, once it is here.
            const size_t all = d->delivery.Arrived(now) + d->delivery.Held(now);
            if (d->delivery.Arrived(now) == all) break;
            wake = d->delivery.TimeWhenArrived(all, now);
        }
        if (clock_.IsVirtual()) {
            clock_.AdvanceToPs(wake);
            continue;
        }
        lock.unlock();
        std::this_thread::sleep_for(std::chrono::nanoseconds((wake - now + 999) / 1000));
        lock.lock();
        // The device may have gone while the lock was free.
        if (FtStatus s = Lookup(handle, &d)) return s;
    }
    *read = static_cast<uint32_t>(
        d->delivery.Take(static_cast<uint8_t*>(buffer), wanted, clock_.NowPs()));
    return kFtOk;
}

FtStatus SimulatedLibrary::Write(FtHandle handle, const void* buffer, uint32_t count,
                                 uint32_t* written) {
    KALENDO_SIM_ENTER("FT_Write", P(handle), P(buffer), count, P(written));
    if (!written || (!buffer && count)) return kFtInvalidParameter;
    *written = 0;
    Device* d = nullptr;
    if (FtStatus s = Lookup(handle, &d)) return s;
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    if (recording_) writes_.emplace_back(bytes, bytes + count);
    if (failWrite_ != kFtOk) return failWrite_;
    const uint32_t sent = shortWrite_.Strikes() ? count / 2 : count;
    if (d->bitMode == kFtBitModeSerialEngine) {
        d->engine->CatchUpWireTime(clock_.NowPs());
        d->engine->Write(bytes, sent);
        clock_.AdvanceToPs(d->engine->WireTimePs());
    }
    *written = sent;
    return kFtOk;
}

FtStatus SimulatedLibrary::GetDeviceInfo(FtHandle handle, uint32_t* type, uint32_t* id,
                                         char* serial16, char* description64, void* reserved) {
    KALENDO_SIM_ENTER("FT_GetDeviceInfo", P(handle), P(type), P(id), P(serial16), P(description64),
                      P(reserved));
    Device* d = nullptr;
    if (FtStatus s = Lookup(handle, &d)) return s;
    if (type) *type = d->listing.type;
    if (id) *id = UsbIdFor(d->listing.type);
    if (serial16) CopyText(serial16, 16, d->listing.serial);
    if (description64) CopyText(description64, 64, d->listing.description);
    return kFtOk;
}

#undef KALENDO_SIM_ENTER

}  // namespace kalendo::sim
