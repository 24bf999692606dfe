// The stand-in bridge library's state: the USB device list, open handles, one serial engine per
// device, the board's bus behind the first "UM232H", the board clock, injected faults and a
// recorder of calls. The exported entry points (ft_entry_points.h) are thin calls into this;
// tests use the control half directly.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "bridge/ft_library.h"
#include "sim/clock/board_clock.h"
#include "sim/engine/answer_delivery.h"
#include "sim/library/call_fault.h"
#include "sim/bus/i2c_bus.h"
#include "sim/bus/i2c_slave.h"
#include "sim/engine/serial_engine.h"

namespace kalendo::sim {

// Library status codes the simulator returns (besides kFtOk).
constexpr FtStatus kFtInvalidHandle = 1;
constexpr FtStatus kFtDeviceNotFound = 2;
constexpr FtStatus kFtDeviceNotOpened = 3;  // also: already open
constexpr FtStatus kFtIoError = 4;          // the device went away under an open handle
constexpr FtStatus kFtInvalidParameter = 6;

constexpr uint32_t kSimLibraryVersion = 0x00010000;

// One entry of the USB device list.
struct UsbDeviceEntry {
    uint32_t type = 8;           // 4 FT2232C/D, 6 FT2232H, 7 FT4232H, 8 FT232H
    uint32_t locationId = 0x11;  // low 4 bits: channel (1 = A)
    std::string description = "UM232H";
    std::string serial = "KS000001";
};

// The default list: one UM232H.
std::vector<UsbDeviceEntry> DefaultDeviceList();

// One library call as the recorder keeps it: the entry point's name and its arguments as
// integers (pointers by value, so a test can tell null from set).
struct LibraryCall {
    std::string name;
    std::vector<uint64_t> args;
};

class SimulatedLibrary {
  public:
    SimulatedLibrary();
    ~SimulatedLibrary();
    SimulatedLibrary(const SimulatedLibrary&) = delete;
    SimulatedLibrary& operator=(const SimulatedLibrary&) = delete;

    // ---- Control (tests, the control API, the control tool) ----

    // Defaults: the one-UM232H list, all handles closed, no chips attached, every address
    // acknowledged, no faults, real time, recorder off and empty.
    void Reset();
    void SetDeviceList(const std::vector<UsbDeviceEntry>& devices);
    std::vector<UsbDeviceEntry> DeviceList() const;

    // The board's module leaves the USB list; its open handles fail from then on, even after
    // it is plugged back (as with a real replug, the program must open it again).
    void Unplug();
    void PlugBack();
    bool Plugged() const;

    // Chips on the board's bus (not owned).
    void AttachSlave(I2cSlave* slave);
    void DetachSlave(I2cSlave* slave);
    void SetAddressAcknowledge(uint8_t address, bool on);

    // Faults: a non-zero status makes every later FT_Open / FT_Write return it.
    void SetFailOpen(FtStatus status);
    void SetFailWrite(FtStatus status);
    // Transfers the library documents as possible, FT_OK with fewer bytes: nth > 0 strikes the
    // nth call from now, below 0 every call, 0 none. A short read returns half the bytes asked
    // for (rounded down) as soon as they have arrived; the rest stay queued. A short write hands
    // the first half of the bytes to the engine; the rest are never sent.
    void SetShortRead(int64_t nth);
    void SetShortWrite(int64_t nth);
    // The device at this position of the configured list is open in another process: its list
    // record carries only the open flag and FT_Open refuses it (kFtDeviceNotOpened).
    void SetInUse(size_t position, bool on);
    // The board's answers reach the chip's transmit buffer this much later than produced.
    void SetAnswerDelayMs(uint32_t ms);
    // From a send-immediate to its answer in the host's buffer, on every device.
    void SetUsbRoundTripUs(uint32_t us);
    // Wire time of every engine command that is not a shift (pin states above all).
    void SetPinCommandNs(uint32_t ns);
    uint32_t PinCommandNs() const;
    // Off: the engines swallow invalid opcodes, so an echo of 0xFA and the opcode never comes.
    void SetEngineEcho(bool on);

    BoardClock& Clock() { return clock_; }
    // Called at the start of every entry point, before the lock is taken (the DLL polls the
    // cross-process control mechanism here).
    void SetBeforeEachCall(std::function<void()> hook);

    // The board's bus and engine, for observers and assertions. The engine is null while the
    // list has no board.
    I2cBus& BoardBus() { return boardBus_; }
    SerialEngine* BoardEngine();
    // Runs f under the library's lock (for observers that touch the bus state).
    void WithLock(const std::function<void()>& f);

    // Recorder of every entry-point call and of the bytes of every FT_Write.
    void SetRecording(bool on);
    std::vector<LibraryCall> Calls() const;
    std::vector<std::vector<uint8_t>> Writes() const;
    void ClearRecording();

    // ---- The 17 entry points' behaviour ----
    FtStatus GetLibraryVersion(uint32_t* version);
    FtStatus CreateDeviceInfoList(uint32_t* count);
    FtStatus GetDeviceInfoList(FtDeviceListNode* records, uint32_t* count);
    FtStatus Open(int position, FtHandle* handle);
    FtStatus Close(FtHandle handle);
    FtStatus ResetDevice(FtHandle handle);
    FtStatus Purge(FtHandle handle, uint32_t mask);
    FtStatus SetUsbParameters(FtHandle handle, uint32_t inSize, uint32_t outSize);
    FtStatus SetChars(FtHandle handle, uint8_t eventChar, uint8_t eventEnable, uint8_t errorChar,
                      uint8_t errorEnable);
    FtStatus SetTimeouts(FtHandle handle, uint32_t readMs, uint32_t writeMs);
    FtStatus SetLatencyTimer(FtHandle handle, uint8_t ms);
    FtStatus SetBitMode(FtHandle handle, uint8_t mask, uint8_t mode);
    FtStatus GetQueueStatus(FtHandle handle, uint32_t* waiting);
    FtStatus GetLatencyTimer(FtHandle handle, uint8_t* ms);
    FtStatus Read(FtHandle handle, void* buffer, uint32_t count, uint32_t* read);
    FtStatus Write(FtHandle handle, const void* buffer, uint32_t count, uint32_t* written);
    FtStatus GetDeviceInfo(FtHandle handle, uint32_t* type, uint32_t* id, char* serial16,
                           char* description64, void* reserved);

  private:
    struct Device;
    struct OpenHandle {
        size_t device;
        uint32_t generation;  // the device's plug generation when opened
    };

    void BeginCall(const char* name, std::initializer_list<uint64_t> args);
    void ApplyAnswerDelay();
    void RebuildDevices();
    std::vector<size_t> VisibleDevices() const;
    // Resolves an open handle: kFtInvalidHandle when unknown, kFtIoError when the device has
    // been unplugged since it was opened.
    FtStatus Lookup(FtHandle handle, Device** device);

    mutable std::recursive_mutex mutex_;
    std::function<void()> beforeEachCall_;
    BoardClock clock_;
    I2cBus boardBus_;
    std::vector<UsbDeviceEntry> listed_;
    std::vector<std::unique_ptr<Device>> devices_;
    size_t boardIndex_ = SIZE_MAX;  // index in devices_ of the first UM232H
    std::map<uintptr_t, OpenHandle> handles_;
    uintptr_t nextHandle_ = 0x5100;
    std::vector<I2cSlave*> slaves_;
    FtStatus failOpen_ = kFtOk;
    FtStatus failWrite_ = kFtOk;
    CallFault shortRead_;
    CallFault shortWrite_;
    std::vector<bool> inUse_;
    uint32_t answerDelayMs_ = 0;
    uint32_t usbRoundTripUs_ = kDefaultUsbRoundTripUs;
    uint32_t pinCommandNs_ = kCommandPs / 1000;
    bool engineEcho_ = true;
    bool recording_ = false;
    std::vector<LibraryCall> calls_;
    std::vector<std::vector<uint8_t>> writes_;
};

// The process-wide instance behind the exported entry points.
SimulatedLibrary& Simulator();

}  // namespace kalendo::sim
