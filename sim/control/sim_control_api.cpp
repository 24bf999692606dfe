#include "sim/control/sim_control_api.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "sim/control/evaluation_board.h"
#include "sim/control/library_startup.h"

#include "sim/chips/evaluation_board_chips.h"

using kalendo::sim::Board;
using kalendo::sim::ControlCommand;
using kalendo::sim::EnsureBoardStarted;
using kalendo::sim::Simulator;

namespace {

// The setting of that name with these arguments, not held to its control command's ranges:
// the exported functions check what they check themselves.
int Run(const char* name, uint32_t value = 0, double number = 0, bool on = false,
        int64_t nth = 0) {
    EnsureBoardStarted();
    ControlCommand c;
    c.setting = kalendo::sim::FindBoardSetting(name);
    c.value = value;
    c.number = number;
    c.on = on;
    c.nth = nth;
    return Board().Execute(c, nullptr) ? 1 : 0;
}

int CopyText(const std::string& line, char* text, int capacity) {
    if (text && capacity > 0) {
        const size_t n = std::min(line.size(), static_cast<size_t>(capacity) - 1);
        std::memcpy(text, line.data(), n);
        text[n] = '\0';
    }
    return static_cast<int>(line.size());
}

int CopyValues(const std::vector<uint8_t>& values, unsigned char* out, int capacity) {
    if (out && capacity > 0) {
        std::memcpy(out, values.data(), std::min(values.size(), static_cast<size_t>(capacity)));
    }
    return static_cast<int>(values.size());
}

}  // namespace

extern "C" {

int KalendoSim_Unplug(void) {
    return Run("unplug");
}
int KalendoSim_PlugBack(void) {
    return Run("plugback");
}

int KalendoSim_SetAddressAck(unsigned address, int on) {
    if (address > 0x7F) return 0;
    return Run("ack", address, 0, on != 0);
}

int KalendoSim_SetFailOpen(unsigned status) {
    return Run("fail-open", status);
}
int KalendoSim_SetFailWrite(unsigned status) {
    return Run("fail-write", status);
}
int KalendoSim_SetEngineEcho(int on) {
    return Run("echo", 0, 0, on != 0);
}

int KalendoSim_SetShortRead(int nth) {
    return Run("short-read", 0, 0, false, nth);
}
int KalendoSim_SetShortWrite(int nth) {
    return Run("short-write", 0, 0, false, nth);
}
int KalendoSim_SetInUse(unsigned position, int on) {
    return Run("in-use", position, 0, on != 0);
}
int KalendoSim_SetAnswerDelayMs(unsigned ms) {
    if (ms > 60000) return 0;
    return Run("answer-delay", ms);
}

int KalendoSim_UseVirtualClock(int on) {
    return Run(on ? "clock virtual" : "clock real");
}
int KalendoSim_AdvanceMs(unsigned ms) {
    return Run("advance", ms);
}

int KalendoSim_FireEvent(void) {
    return Run("event");
}
int KalendoSim_SetBatteryVoltage(double volts) {
    return Run("battery", 0, volts);
}
int KalendoSim_SetSupplyOverride(double volts) {
    return Run("supply", 0, volts);
}
int KalendoSim_ClearSupplyOverride(void) {
    return Run("supply auto");
}
int KalendoSim_SetBoardTemperature(double celsius) {
    return Run("temperature", 0, celsius);
}

int KalendoSim_SaveState(void) {
    EnsureBoardStarted();
    if (Board().HasChips()) {
        Simulator().WithLock([] { Board().Chips()->SaveState(); });
        return 1;
    }
    return 0;
}

int KalendoSim_GetSupplyVoltage(double* volts) {
    EnsureBoardStarted();
    if (!volts) return 0;
    *volts = 0;
    if (Board().HasChips()) {
        Simulator().WithLock([&] { *volts = Board().Chips()->SupplyVoltage(); });
        return 1;
    }
    return 0;
}

int KalendoSim_RunningFromBattery(void) {
    EnsureBoardStarted();
    int result = 0;
    if (Board().HasChips()) {
        Simulator().WithLock([&] { result = Board().Chips()->RunningFromBattery() ? 1 : 0; });
    }
    return result;
}

int KalendoSim_GetUpperPort(unsigned char* value, unsigned char* direction) {
    EnsureBoardStarted();
    int done = 0;
    Simulator().WithLock([&] {
        if (kalendo::sim::SerialEngine* engine = Simulator().BoardEngine()) {
            if (value) *value = engine->HighValue();
            if (direction) *direction = engine->HighDirection();
            done = 1;
        }
    });
    return done;
}

int KalendoSim_GetLastRegisterWrite(unsigned address, unsigned reg, unsigned char* values,
                                    int capacity) {
    EnsureBoardStarted();
    if (address > 0x7F || reg > 0xFF) return -1;
    int result = -1;
    Simulator().WithLock([&] {
        std::vector<uint8_t> v;
        if (Board().WriteLog().LastWrite(static_cast<uint8_t>(address), static_cast<uint8_t>(reg),
                                         &v)) {
            result = CopyValues(v, values, capacity);
        }
    });
    return result;
}

int KalendoSim_GetRegisterWriteCount(unsigned address) {
    EnsureBoardStarted();
    if (address > 0x7F) return 0;
    int count = 0;
    Simulator().WithLock([&] {
        count = static_cast<int>(Board().WriteLog().Writes(static_cast<uint8_t>(address)).size());
    });
    return count;
}

int KalendoSim_GetRegisterWrite(unsigned address, int index, unsigned char* reg,
                                unsigned char* values, int capacity) {
    EnsureBoardStarted();
    if (address > 0x7F || index < 0) return -1;
    int result = -1;
    Simulator().WithLock([&] {
        const auto writes = Board().WriteLog().Writes(static_cast<uint8_t>(address));
        if (static_cast<size_t>(index) >= writes.size()) return;
        if (reg) *reg = writes[static_cast<size_t>(index)].reg;
        result = CopyValues(writes[static_cast<size_t>(index)].values, values, capacity);
    });
    return result;
}

int KalendoSim_GetRegisterSelects(unsigned address, unsigned char* regs, int capacity) {
    EnsureBoardStarted();
    if (address > 0x7F) return 0;
    std::vector<uint8_t> selects;
    Simulator().WithLock(
        [&] { selects = Board().WriteLog().Selects(static_cast<uint8_t>(address)); });
    for (size_t i = 0; regs && i < selects.size() && i < static_cast<size_t>(capacity); ++i) {
        regs[i] = selects[i];
    }
    return static_cast<int>(selects.size());
}

int KalendoSim_ClearRegisterWrites(void) {
    EnsureBoardStarted();
    Simulator().WithLock([] { Board().WriteLog().Clear(); });
    return 1;
}

int KalendoSim_SetPinCommandNs(unsigned ns) {
    if (ns < kalendo::sim::kMinPinNs || ns > kalendo::sim::kMaxPinNs) return 0;
    return Run("pin-ns", ns);
}

int KalendoSim_GetTimingViolationCount(void) {
    EnsureBoardStarted();
    int count = 0;
    Simulator().WithLock(
        [&] { count = static_cast<int>(Board().TimingChecker().ViolationCount()); });
    return count;
}

int KalendoSim_GetTimingViolation(int index, char* text, int capacity) {
    EnsureBoardStarted();
    if (index < 0) return -1;
    std::string line;
    Simulator().WithLock([&] {
        const auto& kept = Board().TimingChecker().Violations();
        if (static_cast<size_t>(index) < kept.size()) {
            line = kalendo::sim::DescribeViolation(kept[static_cast<size_t>(index)]);
        }
    });
    return line.empty() ? -1 : CopyText(line, text, capacity);
}

int KalendoSim_GetTimingMargins(char* text, int capacity) {
    EnsureBoardStarted();
    std::string margins;
    Simulator().WithLock([&] { margins = kalendo::sim::DescribeMargins(Board().TimingChecker()); });
    return CopyText(margins, text, capacity);
}

int KalendoSim_ClearTimingViolations(void) {
    EnsureBoardStarted();
    Simulator().WithLock([] { Board().TimingChecker().Clear(); });
    return 1;
}

int KalendoSim_Execute(const char* command) {
    EnsureBoardStarted();
    if (!command) return 0;
    ControlCommand c;
    std::string error;
    if (!kalendo::sim::ParseControlCommand(command, &c, &error)) return 0;
    return Board().Execute(c, &error) ? 1 : 0;
}

}  // extern "C"
