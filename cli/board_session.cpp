#include "cli/board_session.h"

#include "bridge/board_discovery.h"
#include "bridge/register_access.h"
#include "bridge/register_port.h"
#include "rtc/rtc_registers.h"

namespace kalendo::cli {

namespace {

void Select(DeviceHandle h) {
    SelectDevice(h);
    OpenSelectedDevice();
}

// Runs one bus step with the sticky status cleared first; true when it stayed clear.
template <typename Step>
bool Succeeds(Step step) {
    Bridge().BusStatus = kBusOk;
    step();
    const bool ok = Bridge().BusStatus == kBusOk;
    Bridge().BusStatus = kBusOk;
    return ok;
}

}  // namespace

BoardSession::~BoardSession() {
    hold_.reset();
    if (connected_) DisconnectBridge();
}

bool BoardSession::Open(std::string* error, uint8_t latencyTimerMs) {
    connected_ = true;
    // Before the search, which waits for the mutex too: the window's Connect does the same.
    hold_ = std::make_unique<BusHold>(kUserActionBusWaitMs);
    if (!ConnectBridge()) {
        *error = kNoLibraryMessage;
        return false;
    }
    const DeviceHandle board = FirstDeviceOfBoard(0);
    powerMonitor_ = FindDeviceByName(board, kPowerMonitorName);
    if (powerMonitor_ == 0) {
        // The library lists a device open in another process without its description.
        *error = Bridge().devicesOpenElsewhere > 0 ? kInUseMessage : kNoBoardMessage;
        return false;
    }
    rtc_ = FindDeviceByName(board, kRtcDeviceName);
    if (rtc_ == 0) {
        *error = kNoRtcMessage;
        return false;
    }
    // Before the first attach, which configures the channel from the entries.
    EntryOf(powerMonitor_)->latencyTimer = latencyTimerMs;
    EntryOf(rtc_)->latencyTimer = latencyTimerMs;
    if (!PowerMonitorAnswers()) {
        *error = BusBusy() ? kBusBusyMessage : kDisconnectedMessage;
        return false;
    }
    Select(rtc_);
    Bridge().BusStatus = kBusOk;
    return true;
}

bool BoardSession::ReadRtc(uint8_t reg, uint8_t* value) {
    uint32_t v = 0;
    const bool ok = Succeeds([&] { v = ReadRegisterChecked(reg, kRtcRegisterWidth); });
    if (ok) *value = static_cast<uint8_t>(v);
    return ok;
}

bool BoardSession::WriteRtc(uint8_t reg, uint8_t value) {
    return Succeeds([&] { WriteRegisterChecked(reg, value, kRtcRegisterWidth); });
}

bool BoardSession::UpdateRtc(uint8_t reg, uint8_t keepMask, uint8_t setBits) {
    uint8_t value = 0;
    // The old value must be known: writing a fallback would change the register's other bits.
    if (!ReadRtc(reg, &value)) return false;
    return WriteRtc(reg, static_cast<uint8_t>((value & keepMask) | setBits));
}

bool BoardSession::GuardedWrite(const FieldWrite* writes, size_t count) {
    DevicePort rtc(rtc_);
    return Succeeds([&] { GuardedTimeWrite(rtc, writes, count); });
}

bool BoardSession::PowerMonitorAnswers() {
    uint32_t id = 0;
    Succeeds([&] {
        Select(powerMonitor_);
        id = ReadRegisterChecked(kPowerMonitorIdRegister, 32);
        Select(rtc_);
    });
    // Another chip answering at the address would read without a failure: the identification tells.
    return id == kPowerMonitorId;
}

bool BoardSession::ReadPowerMonitor(uint8_t command, uint32_t width, uint32_t* value) {
    uint32_t v = 0;
    const bool ok = Succeeds([&] {
        Select(powerMonitor_);
        v = ReadRegisterChecked(command, width);
        Select(rtc_);
    });
    if (!ok || !PowerMonitorAnswers()) return false;
    *value = v;
    return true;
}

bool BoardSession::RtcAnswers() {
    uint8_t seconds = 0;
    return ReadRtc(kRegSeconds, &seconds);
}

bool BoardSession::SetFoutGate(bool on) {
    return SetBridgeOutputPin(on ? 0xFF : 0) != 0;
}

}  // namespace kalendo::cli
