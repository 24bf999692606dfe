#include "cli/board_session.h"

#include "bridge/board_discovery.h"
#include "bridge/register_access.h"
#include "power/power_monitor_operations.h"

namespace kalendo::cli {

BoardSession::~BoardSession() {
    action_.reset();  // lets go of the bus mutex before the bridge goes
    if (connected_) DisconnectBridge();
}

bool BoardSession::Open(std::string* error, uint8_t latencyTimerMs, bool timedPolls) {
    connected_ = true;
    // Before the search, which waits for the mutex too: the window's Connect does the same.
    action_ = std::make_unique<BusAction>(kUserActionBusWaitMs);
    if (!ConnectBridge()) {
        *error = kNoLibraryMessage;
        return false;
    }
    const DeviceHandle board = FirstDeviceOfBoard(0);
    const DeviceHandle monitor = FindDeviceByName(board, kPowerMonitorName);
    if (monitor == 0) {
        // The library lists a device open in another process without its description.
        *error = Bridge().devicesOpenElsewhere > 0 ? kInUseMessage : kNoBoardMessage;
        return false;
    }
    const DeviceHandle rtc = FindDeviceByName(board, kRtcDeviceName);
    if (rtc == 0) {
        *error = kNoRtcMessage;
        return false;
    }
    // Before the first attach, which configures the channel from the entries.
    // One command per process: the engine of the previous command is kept, and with it the
    // FOUT gate that "fout on" set.
    for (const DeviceHandle device : {monitor, rtc}) {
        EntryOf(device)->latencyTimer = latencyTimerMs;
        EntryOf(device)->options |= kOptionContinueEngine;
    }
    const AnswerTiming timing = timedPolls ? AnswerTiming::Immediate : AnswerTiming::LatencyTimer;
    powerMonitor_ = DevicePort(monitor, timing);
    rtc_ = DevicePort(rtc, timing);
    if (!PowerMonitorAnswers()) {
        *error = BusBusy() ? kBusBusyMessage : kDisconnectedMessage;
        return false;
    }
    return true;
}

bool BoardSession::PowerMonitorAnswers() {
    return PowerMonitorIdentifies(powerMonitor_);
}

bool BoardSession::ReadPowerMonitor(uint8_t command, uint32_t width, uint32_t* value) {
    uint32_t v = 0;
    if (!powerMonitor_.Read(command, width, &v) || !PowerMonitorAnswers()) return false;
    *value = v;
    return true;
}

}  // namespace kalendo::cli
