// power and log: the Power and FOUT page's averaged measurement, once or once a second into a
// data log of the window's format. A reading is only shown or logged when the power monitor
// still identified itself after it, so a vanished board never yields invented values.
#include <cstdio>
#include <memory>

#include "bridge/os_seam.h"
#include "bridge/register_access.h"
#include "cli/board_session.h"
#include "cli/command_context.h"
#include "power/data_log.h"
#include "power/power_monitor.h"

namespace kalendo::cli {

namespace {

constexpr long kDefaultAverage = 10;
constexpr char kNotMeasured[] = "ERROR: Power not measured, ISL28023 not answering";

std::string Format(const char* format, double value) {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// N readings of the five channels, averaged; false when any of them did not reach the chip.
bool Measure(BoardSession& board, uint32_t readings, PowerReadings* result, bool* batteryInUse) {
    PowerMonitor monitor;
    monitor.sampleCount = readings;
    for (uint32_t i = 0; i < readings; ++i) {
        monitor.sampleIndex = i;
        if (!monitor.SampleChannels(board.PowerMonitor()) || !board.PowerMonitorAnswers()) {
            return false;
        }
    }
    *result = monitor.AverageChannels(*batteryInUse);
    return true;
}

// The page's value fields as it formats them.
DataLogRecord RecordOf(const PowerReadings& r) {
    return {Format("%2.1f", r.vddVoltage), Format("%2.3f", r.vddCurrent),
            Format("%2.1f", r.batteryVoltage), Format("%2.3f", r.batteryCurrent),
            Format("%2.1f", r.temperature)};
}

bool ParseAverage(CommandContext& c, const std::string& text, long* readings) {
    if (ParseWholeNumber(text, 1, PowerMonitor::kSlots, readings)) return true;
    c.UsageError("--average \"" + text + "\" is no count of readings 1-25");
    return false;
}

// A log file named by the caller, written line by line in the window's format; never replaces
// a file that is there.
class NamedLogFile {
  public:
    explicit NamedLogFile(std::string path) : path_(std::move(path)) {}
    bool Create(const std::string& firstLines) {
        std::FILE* existing = std::fopen(path_.c_str(), "rb");
        if (existing) {
            std::fclose(existing);
            return false;
        }
        return Append(firstLines);
    }
    bool Append(const std::string& lines) {
        std::FILE* f = std::fopen(path_.c_str(), "ab");
        if (!f) return false;
        const bool written = std::fwrite(lines.data(), 1, lines.size(), f) == lines.size();
        return std::fclose(f) == 0 && written;
    }

  private:
    std::string path_;
};

}  // namespace

int RunPower(CommandContext& c, const CommandArguments& args) {
    long readings = kDefaultAverage;
    if (args.size() == 2 && args[0] == "--average") {
        if (!ParseAverage(c, args[1], &readings)) return kExitUsage;
    } else if (!args.empty()) {
        return c.UsageError("the only option is --average N");
    }
    BoardSession board;
    std::string error;
    if (!board.Open(&error)) return c.Failed(error);
    PowerReadings r{};
    bool batteryInUse = false;
    if (!Measure(board, static_cast<uint32_t>(readings), &r, &batteryInUse)) {
        return c.Failed(kNotMeasured);
    }
    c.out->Number("vdd_voltage_v", r.vddVoltage, 1);
    c.out->Number("vdd_current_ua", r.vddCurrent, 3);
    c.out->Number("battery_voltage_v", r.batteryVoltage, 1);
    c.out->Number("battery_current_ua", r.batteryCurrent, 3);
    c.out->Number("temperature_c", r.temperature, 1);
    c.out->Flag("battery_in_use", batteryInUse);
    c.out->Integer("readings", readings);
    return kExitOk;
}

int RunLog(CommandContext& c, const CommandArguments& args) {
    long seconds = 0;
    long readings = 5;
    std::string outFile;
    bool haveSeconds = false;
    for (size_t i = 0; i < args.size(); i += 2) {
        if (i + 1 >= args.size()) return c.UsageError("\"" + args[i] + "\" needs a value");
        const std::string& option = args[i];
        const std::string& value = args[i + 1];
        if (option == "--seconds") {
            if (!ParseWholeNumber(value, 1, 86400, &seconds)) {
                return c.UsageError("--seconds \"" + value + "\" is no whole number 1-86400");
            }
            haveSeconds = true;
        } else if (option == "--out") {
            if (value.empty()) return c.UsageError("--out needs a file name");
            outFile = value;
        } else if (option == "--average") {
            if (!ParseAverage(c, value, &readings)) return kExitUsage;
        } else {
            return c.UsageError("unknown option \"" + option + "\"");
        }
    }
    if (!haveSeconds) return c.UsageError("--seconds N is required");

    BoardSession board;
    std::string error;
    if (!board.Open(&error)) return c.Failed(error);
    board.EndBusAction();  // each record is an action of its own, with its own bus budget
    const bool tq5200 = c.model == RtcModelChoice::Tq5200;
    const LocalTime start = c.localNow();
    const double startSeconds = c.clocks.monotonicSeconds();
    DataLogger logger;
    const bool namedByCaller = !outFile.empty();
    std::unique_ptr<NamedLogFile> named;
    long written = 0;
    for (long k = 0; k <= seconds; ++k) {
        // One record a second on the PC's clock, whatever the measurement itself took.
        const double due = startSeconds + static_cast<double>(k);
        for (double now = c.clocks.monotonicSeconds(); now < due;
             now = c.clocks.monotonicSeconds()) {
            Os().SleepMs(static_cast<uint32_t>((due - now) * 1000) + 1);
        }
        PowerReadings r{};
        bool batteryInUse = false;
        BusAction action(kUserActionBusWaitMs);
        if (!Measure(board, static_cast<uint32_t>(readings), &r, &batteryInUse)) {
            c.out->Integer("records", written);
            return c.Failed(std::string(kNotMeasured) + "; the log holds " +
                            std::to_string(written) + " records");
        }
        const DataLogRecord record = RecordOf(r);
        bool ok = false;
        if (namedByCaller) {
            if (k == 0) {
                named = std::make_unique<NamedLogFile>(outFile);
                ok = named->Create(DataLogTitleLine(start) + DataLogColumnLine(tq5200) +
                                   DataLogRecordLine(record, tq5200));
            } else {
                ok = named->Append(DataLogRecordLine(record, tq5200));
            }
        } else if (k == 0) {
            ok = logger.StartLogging(start, tq5200, record) == LogWriteResult::Written;
            outFile = logger.logFileName();
        } else if (k < seconds) {
            ok = logger.AppendLogRecord(record) == LogWriteResult::Written;
        } else {
            ok = logger.StopLogging(record) == LogWriteResult::Written;
        }
        if (!ok) {
            const std::string name = outFile.empty() ? "datalog_*.txt" : outFile;
            return c.Failed(k == 0 ? "ERROR: Log file \"" + name + "\" not created"
                                   : "ERROR: Log file \"" + name + "\" not written");
        }
        ++written;
        if (c.progress) {
            c.progress("log: " + std::to_string(k) + " of " + std::to_string(seconds) + " s, " +
                       record.vddVoltage + " V");
        }
    }
    c.out->Text("file", outFile);
    c.out->Integer("records", written);
    return kExitOk;
}

}  // namespace kalendo::cli
