// The evaluation board as one command of kalendo-cli sees it: the bridge connected, the first
// board's power monitor and RTC found, and reads and writes that each say whether they reached
// the chip. Unlike Connect in the window it writes nothing while connecting, so a read-only
// command (and the drift run above all) leaves the chip exactly as it was.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "bridge/bridge_state.h"
#include "bridge/bus_hold.h"
#include "rtc/guarded_time_write.h"

namespace kalendo::cli {

class BoardSession {
  public:
    BoardSession() = default;
    ~BoardSession();  // disconnects the bridge
    BoardSession(const BoardSession&) = delete;
    BoardSession& operator=(const BoardSession&) = delete;

    // The bridge's latency timer for this program's own polling: answers come back within a
    // millisecond instead of the window's two, which halves a poll and sharpens each time
    // stamp of a drift run. The window keeps its own setting.
    static constexpr uint8_t kLatencyTimerMs = 1;

    // False with the window's message: "ERROR: Unable to locate ISL28023 device" when no board
    // is there, "ERROR: Board in use by another program" when another program has it open,
    // "ERROR: Bus busy, board not connected" when another program held the bus mutex for the
    // whole budget, "ERROR: Board Disconnected" when it does not answer.
    // The command is one bus action from here on: all its mutex waits together take at most
    // the window's 5 s for a user action, and once one timed out the rest fail at once.
    bool Open(std::string* error, uint8_t latencyTimerMs = kLatencyTimerMs);
    // For the long runs (log, drift): ends the command's one action after opening, so each of
    // their polls waits for the bus on its own.
    void EndBusAction() { hold_.reset(); }
    // A mutex wait of the command's action timed out: another program holds the bus.
    bool BusBusy() const { return hold_ && hold_->BusBusy(); }

    bool ReadRtc(uint8_t reg, uint8_t* value);
    bool WriteRtc(uint8_t reg, uint8_t value);
    // Read-modify-write of one RTC register: keeps keepMask, then sets setBits.
    bool UpdateRtc(uint8_t reg, uint8_t keepMask, uint8_t setBits);
    // The time and calendar write with the control register's write guard around it.
    bool GuardedWrite(const FieldWrite* writes, size_t count);
    // The power monitor's identification answers: it, and with it the board, is there.
    bool PowerMonitorAnswers();
    bool RtcAnswers();
    // One power-monitor register, taken only when the monitor still identifies itself after
    // it (its failed reads set no status and give a code that looks like a value).
    bool ReadPowerMonitor(uint8_t command, uint32_t width, uint32_t* value);
    bool SetFoutGate(bool on);

    DeviceHandle powerMonitor() const { return powerMonitor_; }
    DeviceHandle rtc() const { return rtc_; }

  private:
    DeviceHandle powerMonitor_ = 0;
    DeviceHandle rtc_ = 0;
    bool connected_ = false;
    std::unique_ptr<BusHold> hold_;
};

// The device entries' names (both RTC models answer at one address, through the one entry) and
// the power monitor's identification: a length of 8, then "ISL".
constexpr const char* kPowerMonitorName = "ISL28023";
constexpr const char* kRtcDeviceName = "Novar TQ5100";
constexpr uint8_t kPowerMonitorIdRegister = 0xAD;
constexpr uint32_t kPowerMonitorId = 0x0849534C;

// The three answers of an open: found and answering, not found, or found but silent.
constexpr const char* kNoBoardMessage = "ERROR: Unable to locate ISL28023 device";
constexpr const char* kNoRtcMessage = "ERROR: Unable to locate RTC device";
constexpr const char* kDisconnectedMessage = "ERROR: Board Disconnected";
constexpr const char* kInUseMessage = "ERROR: Board in use by another program";
constexpr const char* kBusBusyMessage = "ERROR: Bus busy, board not connected";
constexpr const char* kNoLibraryMessage = "ERROR: ftd2xx.dll not found or incomplete";

}  // namespace kalendo::cli
