#include "sim/control/evaluation_board.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "sim/library/device_list_text.h"

#include "sim/chips/evaluation_board_chips.h"

namespace kalendo::sim {

namespace {

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
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
    o.vcdFile = Env("KALENDO_SIM_VCD");
    o.controlFile = Env("KALENDO_SIM_CONTROL");
    o.shortRead = Env("KALENDO_SIM_SHORT_READ");
    o.shortWrite = Env("KALENDO_SIM_SHORT_WRITE");
    o.inUse = Env("KALENDO_SIM_IN_USE");
    o.answerDelay = Env("KALENDO_SIM_ANSWER_DELAY");
    o.pinNs = Env("KALENDO_SIM_PIN_NS");
    o.crystalPpm = Env("KALENDO_SIM_PPM");
    o.crystalTempco = Env("KALENDO_SIM_TEMPCO");
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
        config.stateFile = DefaultStateFile();
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

    // The library's faults and the pin-command time, in the words of the control commands;
    // those not set are at their defaults.
    library_.SetShortRead(0);
    library_.SetShortWrite(0);
    library_.SetAnswerDelayMs(0);
    library_.SetPinCommandNs(kCommandPs / 1000);
    const auto fault = [&](const char* variable, const std::string& verb,
                           const std::string& value) {
        if (value.empty()) return;
        ControlCommand command;
        std::string problem;
        if (!ParseControlCommand(verb + " " + value, &command, &problem) ||
            !Execute(command, &problem)) {
            report(std::string(variable) + " \"" + value + "\": " + problem + "; ignored");
        }
    };
    fault("KALENDO_SIM_SHORT_READ", "short-read", options.shortRead);
    fault("KALENDO_SIM_SHORT_WRITE", "short-write", options.shortWrite);
    fault("KALENDO_SIM_ANSWER_DELAY", "answer-delay", options.answerDelay);
    fault("KALENDO_SIM_PIN_NS", "pin-ns", options.pinNs);
    fault("KALENDO_SIM_PPM", "ppm", options.crystalPpm);
    fault("KALENDO_SIM_TEMPCO", "tempco", options.crystalTempco);
    std::string positions = options.inUse;
    for (char& ch : positions) {
        if (ch == ',') ch = ' ';
    }
    std::istringstream list(positions);
    for (std::string position; list >> position;) {
        fault("KALENDO_SIM_IN_USE", "in-use", position + " on");
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
    using Kind = ControlCommand::Kind;
    switch (c.kind) {
        case Kind::Unplug:
            library_.Unplug();
            return true;
        case Kind::PlugBack:
            library_.PlugBack();
            return true;
        case Kind::AddressAck:
            library_.SetAddressAcknowledge(static_cast<uint8_t>(c.value), c.on);
            return true;
        case Kind::ClockVirtual:
            library_.Clock().UseVirtual(true);
            return true;
        case Kind::ClockReal:
            library_.Clock().UseVirtual(false);
            return true;
        case Kind::Advance:
            if (!library_.Clock().IsVirtual()) {
                if (error) *error = "advance needs the virtual clock (clock virtual)";
                return false;
            }
            library_.WithLock([&] { library_.Clock().AdvanceMs(c.value); });
            return true;
        case Kind::FailOpen:
            library_.SetFailOpen(c.value);
            return true;
        case Kind::FailWrite:
            library_.SetFailWrite(c.value);
            return true;
        case Kind::Echo:
            library_.SetEngineEcho(c.on);
            return true;
        case Kind::ShortRead:
            library_.SetShortRead(c.nth);
            return true;
        case Kind::ShortWrite:
            library_.SetShortWrite(c.nth);
            return true;
        case Kind::InUse:
            if (c.value >= library_.DeviceList().size()) {
                if (error) *error = "no device at list position " + std::to_string(c.value);
                return false;
            }
            library_.SetInUse(c.value, c.on);
            return true;
        case Kind::AnswerDelay:
            library_.SetAnswerDelayMs(c.value);
            return true;
        case Kind::PinNs:
            library_.SetPinCommandNs(c.value);
            return true;
        case Kind::Supply:
        case Kind::SupplyAuto:
        case Kind::Battery:
        case Kind::Temperature:
        case Kind::CrystalPpm:
        case Kind::CrystalTempco:
        case Kind::Event:
            break;
    }
    if (chips_) {
        library_.WithLock([&] {
            switch (c.kind) {
                case Kind::Supply:
                    chips_->SetSupplyOverride(c.number);
                    break;
                case Kind::SupplyAuto:
                    chips_->ClearSupplyOverride();
                    break;
                case Kind::Battery:
                    chips_->SetBatteryVoltage(c.number);
                    break;
                case Kind::Temperature:
                    chips_->SetBoardTemperature(c.number);
                    break;
                case Kind::CrystalPpm:
                    chips_->SetCrystalPpm(c.number);
                    break;
                case Kind::CrystalTempco:
                    chips_->SetCrystalTempco(c.number);
                    break;
                case Kind::Event:
                    chips_->FireEventInput();
                    break;
                default:
                    break;
            }
        });
        return true;
    }
    if (error) *error = "the board has no chip models";
    return false;
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
