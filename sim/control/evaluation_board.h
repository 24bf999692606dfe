// The simulated evaluation board as the stand-in library presents it: the device list, the
// chips behind the first "UM232H", the trace and waveform recorders, and the control commands
// from tests and from other processes.
//
// Environment:
//   KALENDO_SIM_DEVICES  device list (see device_list_text.h); default one UM232H
//   KALENDO_SIM_RTC      TQ5100 (default) or TQ5200
//   KALENDO_SIM_STATE    "fresh": no state file; a path: that state file; otherwise the RTC is
//                        kept in the user's profile
//   KALENDO_SIM_TRACE    file that gets one line per I2C transaction
//   KALENDO_SIM_VCD      file that gets the SCL/SDA/FOUT-gate waveform
//   KALENDO_SIM_CONTROL  control file that other processes write commands to (default below)
// and the variables of the settings (board_settings.h), in their control commands' words, for
// example KALENDO_SIM_SHORT_READ (n, always or off), KALENDO_SIM_IN_USE (list positions
// separated by ','), KALENDO_SIM_PIN_NS, KALENDO_SIM_PPM.
#pragma once

#include <atomic>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "sim/control/control_command.h"
#include "sim/bus/i2c_timing_checker.h"
#include "sim/control/control_file.h"
#include "sim/recorders/register_write_log.h"
#include "sim/library/simulated_library.h"
#include "sim/recorders/transaction_trace.h"
#include "sim/recorders/vcd_recorder.h"

namespace kalendo::sim {

class EvaluationBoardChips;

struct BoardOptions {
    std::string devices;      // empty: the default list
    std::string rtc;          // empty: TQ5100
    std::string state;        // "fresh", a state file's path, or empty for the profile's
    std::string traceFile;    // empty: no trace
    bool traceShared = false;  // the trace's lines name the process and the wall-clock times
    std::string vcdFile;      // empty: no waveform
    std::string controlFile;  // empty: DefaultControlFile()
    // The settings' values by their environment variable; those missing or empty keep their
    // defaults.
    std::map<std::string, std::string> settings;
};

BoardOptions BoardOptionsFromEnvironment();
// %APPDATA%\Kalendo (or %USERPROFILE%) on Windows, $HOME/.kalendo natively; empty if unknown.
std::string DefaultStateFile();

class EvaluationBoard {
  public:
    explicit EvaluationBoard(SimulatedLibrary& library);
    ~EvaluationBoard();
    EvaluationBoard(const EvaluationBoard&) = delete;
    EvaluationBoard& operator=(const EvaluationBoard&) = delete;

    // Builds the board from the options. Bad values are reported in messages and replaced by
    // their defaults; nothing fails.
    void Configure(const BoardOptions& options, std::vector<std::string>* messages);
    // Removes chips and recorders: saves the RTC state and closes the files.
    void Shutdown();

    bool Execute(const ControlCommand& command, std::string* error);
    // Runs the commands waiting in the control file, at most every 100 ms of real time.
    void PollControlFile();
    void PollControlFileNow();

    bool HasChips() const { return chips_ != nullptr; }
    EvaluationBoardChips* Chips() { return chips_.get(); }
    RegisterWriteLog& WriteLog() { return writeLog_; }
    // The I2C timing of the board's bus (use under the library's lock).
    I2cTimingChecker& TimingChecker() { return timing_; }

  private:
    SimulatedLibrary& library_;
    std::recursive_mutex mutex_;
    std::unique_ptr<EvaluationBoardChips> chips_;
    RegisterWriteLog writeLog_;
    I2cTimingChecker timing_;
    std::FILE* traceOut_ = nullptr;
    std::unique_ptr<TransactionTrace> trace_;
    std::FILE* vcdOut_ = nullptr;
    std::unique_ptr<VcdRecorder> vcd_;
    std::string controlFile_;
    std::atomic<int64_t> lastPollMicros_{-1};
};

// The board of the process-wide library.
EvaluationBoard& Board();

}  // namespace kalendo::sim
