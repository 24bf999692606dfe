#include "sim/control/evaluation_board.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "sim/library/device_list_text.h"

#if defined(_WIN32)
#include <process.h>
#else
#include <unistd.h>
#endif

#include "sim/chips/evaluation_board_chips.h"

namespace kalendo::sim {

namespace {

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

long ProcessId() {
#if defined(_WIN32)
    return static_cast<long>(_getpid());
#else
    return static_cast<long>(getpid());
#endif
}

int64_t RealMicros() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

BoardOptions BoardOptionsFromEnvironment() {
    BoardOptions o;
    o.devices = Env("KALENDO_SIM_DEVICES");
    o.rtc = Env("KALENDO_SIM_RTC");
    o.state = Env("KALENDO_SIM_STATE");
    o.traceFile = Env("KALENDO_SIM_TRACE");
    o.traceShared = Env("KALENDO_SIM_TRACE_SHARED") == "1";
    o.vcdFile = Env("KALENDO_SIM_VCD");
    o.controlFile = Env("KALENDO_SIM_CONTROL");
    size_t count = 0;
    const BoardSetting* settings = BoardSettings(&count);
    for (size_t i = 0; i < count; ++i) {
        if (settings[i].environment) {
            o.settings[settings[i].environment] = Env(settings[i].environment);
        }
    }
    return o;
}

std::string DefaultStateFile() {
#if defined(_WIN32)
    std::string base = Env("APPDATA");
    if (base.empty()) base = Env("USERPROFILE");
    if (base.empty()) return "";
    return base + "\\Kalendo\\simulated-board-rtc.state";
#else
    const std::string home = Env("HOME");
    if (home.empty()) return "";
    return home + "/.kalendo/simulated-board-rtc.state";
#endif
}

EvaluationBoard::EvaluationBoard(SimulatedLibrary& library) : library_(library) {}

EvaluationBoard::~EvaluationBoard() {
    Shutdown();
}

EvaluationBoard& Board() {
    static EvaluationBoard* board = new EvaluationBoard(Simulator());
    return *board;
}

void EvaluationBoard::Configure(const BoardOptions& options, std::vector<std::string>* messages) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    Shutdown();
    const auto report = [&](const std::string& m) {
        if (messages) messages->push_back(m);
    };

    std::vector<UsbDeviceEntry> devices = DefaultDeviceList();
    std::string error;
    if (!options.devices.empty() && !ParseDeviceList(options.devices, &devices, &error)) {
        report(error + "; using the default list (one UM232H)");
    }
    library_.SetDeviceList(devices);

    ChipsConfig config;
    config.clock = &library_.Clock();
    if (options.rtc == "TQ5200") {
        config.model = RtcModel::Tq5200;
    } else if (!options.rtc.empty() && options.rtc != "TQ5100") {
        report("KALENDO_SIM_RTC \"" + options.rtc + "\" is not TQ5100 or TQ5200; using TQ5100");
    }
    if (options.state != "fresh") {
        // A path keeps the RTC in a file of the caller's (a test's own board across processes).
        config.stateFile = options.state.empty() ? DefaultStateFile() : options.state;
        if (config.stateFile.empty()) {
            report("no user profile folder found: the RTC state is not kept");
        } else {
            std::error_code ec;
            std::filesystem::create_directories(
                std::filesystem::path(config.stateFile).parent_path(), ec);
        }
    }
    chips_ = std::make_unique<EvaluationBoardChips>(config);
    library_.AttachSlave(&chips_->Rtc());
    library_.AttachSlave(&chips_->PowerMonitor());

    library_.WithLock([&] {
        writeLog_.Clear();
        library_.BoardBus().AddObserver(&writeLog_);
        timing_.Clear();
        timing_.SetViolationHandler(nullptr);
        library_.BoardBus().AddObserver(&timing_);
    });

    if (!options.traceFile.empty()) {
        traceOut_ = std::fopen(options.traceFile.c_str(), "a");
        if (!traceOut_) {
            report("cannot open the trace file " + options.traceFile);
        } else {
            trace_ = std::make_unique<TransactionTrace>(traceOut_);
            if (options.traceShared) trace_->StampProcess(ProcessId());
            library_.WithLock([&] {
                library_.BoardBus().AddObserver(trace_.get());
                timing_.SetViolationHandler([this](const I2cTimingViolation& v) {
                    if (trace_) trace_->WriteLine(DescribeViolation(v));
                });
            });
        }
    }
    if (!options.vcdFile.empty()) {
        vcdOut_ = std::fopen(options.vcdFile.c_str(), "w");
        if (!vcdOut_) {
            report("cannot open the waveform file " + options.vcdFile);
        } else {
            library_.WithLock([&] {
                SerialEngine* engine = library_.BoardEngine();
                I2cBus& bus = library_.BoardBus();
                vcd_ = std::make_unique<VcdRecorder>(vcdOut_, engine ? engine->WireTimePs() : 0,
                                                     bus.Scl(), bus.Sda());
                bus.AddObserver(vcd_.get());
                if (engine) engine->SetHighPortObserver(vcd_.get());
            });
        }
    }
    controlFile_ = options.controlFile.empty() ? DefaultControlFile() : options.controlFile;

    // The settings at their defaults, then the environment's values, in the words of the
    // control commands.
    const auto apply = [&](const char* variable, const std::string& verb,
                           const std::string& value) {
        if (value.empty()) return;
        ControlCommand command;
        std::string problem;
        if (!ParseControlCommand(verb + " " + value, &command, &problem) ||
            !Execute(command, &problem)) {
            report(std::string(variable) + " \"" + value + "\": " + problem + "; ignored");
        }
    };
    size_t count = 0;
    const BoardSetting* settings = BoardSettings(&count);
    for (size_t i = 0; i < count; ++i) {
        const BoardSetting& s = settings[i];
        if (s.defaultValue) apply(s.environment, s.command, s.defaultValue);
        if (!s.environment) continue;
        const auto found = options.settings.find(s.environment);
        if (found == options.settings.end()) continue;
        if (!s.environmentList) {
            apply(s.environment, s.command, found->second);
            continue;
        }
        std::string items = found->second;
        for (char& ch : items) {
            if (ch == ',') ch = ' ';
        }
        std::istringstream list(items);
        for (std::string item; list >> item;) apply(s.environment, s.command, item + " on");
    }
}

void EvaluationBoard::Shutdown() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    library_.WithLock([&] {
        I2cBus& bus = library_.BoardBus();
        bus.RemoveObserver(&writeLog_);
        bus.RemoveObserver(&timing_);
        timing_.SetViolationHandler(nullptr);
        if (trace_) bus.RemoveObserver(trace_.get());
        if (vcd_) bus.RemoveObserver(vcd_.get());
        if (SerialEngine* engine = library_.BoardEngine()) engine->SetHighPortObserver(nullptr);
    });
    if (chips_) {
        library_.DetachSlave(&chips_->Rtc());
        library_.DetachSlave(&chips_->PowerMonitor());
    }
    chips_.reset();  // saves the RTC state
    trace_.reset();  // writes an unfinished line
    vcd_.reset();
    if (traceOut_) std::fclose(traceOut_);
    if (vcdOut_) std::fclose(vcdOut_);
    traceOut_ = vcdOut_ = nullptr;
}

bool EvaluationBoard::Execute(const ControlCommand& c, std::string* error) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (!c.setting) {
        if (error) *error = "no command";
        return false;
    }
    const SettingTarget target{library_, chips_.get()};
    if (!c.setting->needsChips) return c.setting->apply(target, c, error);
    if (!chips_) {
        if (error) *error = "the board has no chip models";
        return false;
    }
    bool done = false;
    library_.WithLock([&] { done = c.setting->apply(target, c, error); });
    return done;
}

void EvaluationBoard::PollControlFile() {
    const int64_t now = RealMicros();
    if (lastPollMicros_ >= 0 && now - lastPollMicros_ < 100'000) return;
    lastPollMicros_ = now;
    PollControlFileNow();
}

// Takes the file away by renaming it first, so a command appended meanwhile lands in a new
// file and is not lost; a file still being written cannot be renamed and waits for next time.
void EvaluationBoard::PollControlFileNow() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (controlFile_.empty()) return;
    std::error_code ec;
    if (!std::filesystem::exists(controlFile_, ec)) return;
    const std::string taken = controlFile_ + ".taken";
    std::filesystem::remove(taken, ec);
    std::filesystem::rename(controlFile_, taken, ec);
    if (ec) return;
    std::ifstream in(taken, std::ios::binary);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        ControlCommand command;
        std::string error;
        if (ParseControlCommand(line, &command, &error)) {
            if (!Execute(command, &error)) {
                std::fprintf(stderr, "kalendo-sim: %s: %s\n", line.c_str(), error.c_str());
            }
        } else if (!error.empty()) {
            std::fprintf(stderr, "kalendo-sim: %s\n", error.c_str());
        }
    }
    in.close();
    std::filesystem::remove(taken, ec);
}

}  // namespace kalendo::sim
