// The evaluation board as one command of kalendo-cli sees it: the bridge connected, the first
// board's power monitor and RTC found, and a port to each for the shared board operations.
// Unlike Connect in the window it writes nothing while connecting, so a read-only command (and
// the drift run above all) leaves the chip exactly as it was.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "bridge/bridge_state.h"
#include "bridge/bus_action.h"
#include "bridge/register_port.h"

namespace kalendo::cli {

class BoardSession {
  public:
    BoardSession() = default;
    ~BoardSession();  // ends the bus action, then disconnects the bridge
    BoardSession(const BoardSession&) = delete;
    BoardSession& operator=(const BoardSession&) = delete;

    // The bridge's latency timer for this program's own polling: answers come back within a
    // millisecond instead of the window's two, which halves a poll and sharpens each time
    // stamp of a drift run. The window keeps its own setting.
    static constexpr uint8_t kLatencyTimerMs = 1;

    // From here on the command is one bus action, as a click in the window: its mutex wait
    // takes at most 5 s, and once that timed out or the board fell silent the rest fails at
    // once. False with the window's message: "ERROR: Unable to locate ISL28023 device" when no
    // board is there, "ERROR: Board in use by another program" when another program has it
    // open, "ERROR: Bus busy, board not connected" when another program kept the bus mutex,
    // "ERROR: Board Disconnected" when the power monitor does not identify itself.
    // timedPolls: the ports ask for every answer at once (a send-immediate after each burst:
    // drift, check), so each read's answer comes back one USB round trip after it instead of at
    // the latency timer.
    bool Open(std::string* error, uint8_t latencyTimerMs = kLatencyTimerMs,
              bool timedPolls = false);
    // For the long runs (log, drift): ends the command's action after opening, so the bus is
    // not kept from the window for minutes; each of their polls is an action of its own.
    void EndBusAction() { action_.reset(); }
    // The command's action found the bus held by another program.
    bool BusBusy() const { return action_ && action_->BusBusy(); }

    RegisterPort& Rtc() { return rtc_; }
    DeviceHandle RtcDevice() const { return rtc_.Device(); }
    RegisterPort& PowerMonitor() { return powerMonitor_; }
    bool ReadRtc(uint8_t reg, uint8_t* value) { return rtc_.Read8(reg, value); }
    bool WriteRtc(uint8_t reg, uint8_t value) { return rtc_.Write8(reg, value); }
    // The power monitor's identification answers: it, and with it the board, is there.
    bool PowerMonitorAnswers();
    // One power-monitor register, taken only when the monitor still identifies itself after
    // it (a chip other than the monitor could answer at its address).
    bool ReadPowerMonitor(uint8_t command, uint32_t width, uint32_t* value);

  private:
    DevicePort powerMonitor_{0};
    DevicePort rtc_{0};
    bool connected_ = false;
    std::unique_ptr<BusAction> action_;
};

// The three answers of an open besides the found board: not found, in use, or found but silent.
constexpr const char* kNoBoardMessage = "ERROR: Unable to locate ISL28023 device";
constexpr const char* kNoRtcMessage = "ERROR: Unable to locate RTC device";
constexpr const char* kDisconnectedMessage = "ERROR: Board Disconnected";
constexpr const char* kInUseMessage = "ERROR: Board in use by another program";
constexpr const char* kBusBusyMessage = "ERROR: Bus busy, board not connected";
#if defined(_WIN32)
constexpr const char* kNoLibraryMessage = "ERROR: ftd2xx.dll not found or incomplete";
#else
constexpr const char* kNoLibraryMessage = "ERROR: libftd2xx.so not found or incomplete";
#endif

}  // namespace kalendo::cli
