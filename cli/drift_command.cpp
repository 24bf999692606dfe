// drift: the RTC's frequency offset against the PC's clock, with the data sheet's tolerance
// from the model-information file to judge it by.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "bridge/os_seam.h"
#include "cli/board_session.h"
#include "cli/command_context.h"
#include "cli/interrupt_request.h"
#include "rtc/bcd_codec.h"
#include "rtc/model_file.h"
#include "rtc/rtc_registers.h"

namespace kalendo::cli {

namespace {

constexpr uint8_t kTemperatureCommand = 0x8D;  // the power monitor's READ_TEMPERATURE_1
constexpr double kDegreesPerCode = 0.016;

// Each read is a bus action of its own: a run of minutes shares the bus with the window, and a
// read that found the bus busy or the board silent must not stop the reads after it.
class SessionDriftBoard final : public DriftBoard {
  public:
    explicit SessionDriftBoard(BoardSession& board) : board_(board) {}
    bool ReadSeconds(uint8_t* bcd) override {
        ForgetBoardSilence();  // one silent read is no lost board: the run's own rule decides
        BusAction action(kUserActionBusWaitMs);
        return board_.ReadRtc(kRegSeconds, bcd);
    }
    bool ReadHoursMinutes(uint8_t* hours, uint8_t* minutes) override {
        ForgetBoardSilence();
        BusAction action(kUserActionBusWaitMs);
        return board_.ReadRtc(kRegHours, hours) && board_.ReadRtc(kRegMinutes, minutes);
    }
    bool ReadBoardCelsius(double* celsius) override {
        ForgetBoardSilence();
        BusAction action(kUserActionBusWaitMs);
        uint32_t code = 0;
        if (!board_.ReadPowerMonitor(kTemperatureCommand, 16, &code)) return false;
        *celsius = code * kDegreesPerCode;
        return true;
    }
    bool BoardPresent() override {
        ForgetBoardSilence();
        BusAction action(kUserActionBusWaitMs);
        // A bus another program kept is no unplugged board: the run's own time limit decides.
        return board_.PowerMonitorAnswers() || action.BusBusy();
    }

  private:
    BoardSession& board_;
};

// The number after "+/-" in a data-sheet field such as "+/-3.8 (-40 to +85)"; NaN if none.
double PlusMinusValue(const std::string& field) {
    const size_t at = field.find("+/-");
    if (at == std::string::npos) return NAN;
    const char* start = field.c_str() + at + 3;
    char* end = nullptr;
    const double v = std::strtod(start, &end);
    return end == start || !std::isfinite(v) || v < 0 ? NAN : v;
}

// "yes" when the whole uncertainty range lies within +-limit, "no" when none of it does, and
// "undecided" when the run was too short to tell.
const char* Verdict(double value, double uncertainty, double limit) {
    if (std::fabs(value) + uncertainty <= limit) return "yes";
    if (std::fabs(value) - uncertainty > limit) return "no";
    return "undecided";
}

std::string Signed(double value, int decimals) {
    char text[48];
    std::snprintf(text, sizeof text, "%+.*f", decimals, value);
    return text;
}

constexpr char kCsvHeader[] = "transition,pc_s,pc_half_width_ms,rtc_s,rtc_minus_pc_ms\n";

// One row per transition: PC time from the first, its half-width, the RTC's count, and how far
// the RTC was from the PC against the first transition.
std::string CsvRow(size_t index, const SecondsTransition& t, const SecondsTransition& first) {
    const double pc = t.pcSeconds - first.pcSeconds;
    const double rtc = static_cast<double>(t.rtcSeconds - first.rtcSeconds);
    char line[160];
    std::snprintf(line, sizeof line, "%zu,%.6f,%.3f,%lld,%.3f\n", index, pc, t.halfWidth * 1000,
                  static_cast<long long>(t.rtcSeconds - first.rtcSeconds), (rtc - pc) * 1000);
    return line;
}

// The CSV written as the run goes, each row flushed, so a run cut short keeps what it saw.
class CsvFile {
  public:
    explicit CsvFile(const std::string& name) : name_(name) {}
    ~CsvFile() {
        if (file_) std::fclose(file_);
    }
    CsvFile(const CsvFile&) = delete;
    CsvFile& operator=(const CsvFile&) = delete;

    bool Create() {
        file_ = std::fopen(name_.c_str(), "wb");
        return Write(kCsvHeader);
    }
    void Add(size_t index, const SecondsTransition& t) {
        if (index == 0) first_ = t;
        if (Write(CsvRow(index, t, first_))) ++rows_;
    }
    // False when a row or the closing failed.
    bool Close() {
        const bool closed = file_ && std::fclose(file_) == 0;
        file_ = nullptr;
        return closed && ok_;
    }
    size_t rows() const { return rows_; }

  private:
    bool Write(const std::string& text) {
        ok_ = ok_ && file_ && std::fwrite(text.data(), 1, text.size(), file_) == text.size() &&
              std::fflush(file_) == 0;
        return ok_;
    }

    std::string name_;
    std::FILE* file_ = nullptr;
    bool ok_ = true;
    size_t rows_ = 0;
    SecondsTransition first_{};
};

}  // namespace

int RunDrift(CommandContext& c, const CommandArguments& args) {
    double minutes = 0;
    std::string csvFile;
    for (size_t i = 0; i < args.size(); i += 2) {
        if (i + 1 >= args.size()) return c.UsageError("\"" + args[i] + "\" needs a value");
        if (args[i] == "--minutes") {
            if (!ParseMinutes(args[i + 1], &minutes)) {
                return c.UsageError("--minutes \"" + args[i + 1] +
                                    "\" is no positive number of minutes (at most 10080)");
            }
        } else if (args[i] == "--csv") {
            if (args[i + 1].empty()) return c.UsageError("--csv needs a file name");
            csvFile = args[i + 1];
        } else {
            return c.UsageError("unknown option \"" + args[i] + "\"");
        }
    }
    if (minutes <= 0) return c.UsageError("--minutes N is required");

    BoardSession board;
    std::string error;
    if (!board.Open(&error)) return c.Failed(error);
    board.EndBusAction();  // each read takes the bus on its own
    std::unique_ptr<CsvFile> csv;
    if (!csvFile.empty()) {
        csv = std::make_unique<CsvFile>(csvFile);
        if (!csv->Create()) return c.Failed("ERROR: CSV file \"" + csvFile + "\" not written");
    }
    SessionDriftBoard probe(board);
    DriftSettings settings;
    settings.seconds = minutes * 60;
    settings.wait = [](double seconds) { Os().SleepMs(static_cast<uint32_t>(seconds * 1000)); };
    if (c.progress) {
        settings.progress = [&](const DriftProgress& p) {
            char line[128];
            if (p.fit.valid) {
                std::snprintf(line, sizeof line, "drift: %.0f of %.0f s, %+.2f +- %.2f ppm",
                              p.elapsedSeconds, settings.seconds, p.fit.ppm,
                              p.fit.ppmUncertainty);
            } else {
                std::snprintf(line, sizeof line, "drift: %.0f of %.0f s, waiting for transitions",
                              p.elapsedSeconds, settings.seconds);
            }
            c.progress(line);
        };
    }
    if (csv) {
        settings.transitionSeen = [&](size_t index, const SecondsTransition& t) {
            csv->Add(index, t);
        };
    }
    const InterruptRequest interrupt;
    settings.stopRequested = [&] { return interrupt.Requested(); };
    const DriftResult result = MeasureDrift(probe, c.clocks, settings);
    const bool csvWritten = !csv || csv->Close();
    // What the file kept of a run that failed, so the engineer knows what is left of it.
    const std::string kept =
        csv ? "; \"" + csvFile + "\" holds " + std::to_string(csv->rows()) + " transitions" : "";
    if (!result.error.empty()) return c.Failed(result.error + kept);
    if (!result.fit.valid) {
        return c.Failed("ERROR: Drift not measured, fewer than 3 seconds transitions seen" + kept);
    }
    if (!csvWritten) return c.Failed("ERROR: CSV file \"" + csvFile + "\" not written");

    const DriftFit& fit = result.fit;
    FactOutput& out = *c.out;
    out.Text("model", c.model == RtcModelChoice::Tq5200 ? "TQ5200" : "TQ5100");
    out.Number("offset_ppm", fit.ppm, 3);
    out.Number("uncertainty_ppm", fit.ppmUncertainty, 3);
    out.Integer("transitions", static_cast<long long>(fit.transitions));
    out.Integer("failed_reads", result.failedReads);
    if (result.interrupted) out.Flag("interrupted", true);
    out.Number("span_s", fit.spanSeconds, 1);
    if (result.offsetKnown) out.Number("rtc_minus_pc_ms", result.offsetMs, 1);
    out.Number("seconds_per_month", SecondsPerMonth(fit.ppm), 2);
    if (result.temperatureReadings > 0) {
        out.Number("board_temperature_min_c", result.minCelsius, 1);
        out.Number("board_temperature_mean_c", result.meanCelsius, 1);
        out.Number("board_temperature_max_c", result.maxCelsius, 1);
    }
    ModelTableArray models;
    const int record = c.model == RtcModelChoice::Tq5200 ? 1 : 0;
    const bool haveModels = ReadModelInfo(models, c.modelFile.c_str());
    const double tolerance =
        haveModels ? PlusMinusValue(models[record].fields[kModelFrequencyTolerance]) : NAN;
    const double monthly =
        haveModels ? PlusMinusValue(models[record].fields[kModelMonthlyDeviation]) : NAN;
    if (std::isnan(tolerance)) {
        c.errors += "kalendo-cli: no frequency tolerance for this model in \"" + c.modelFile +
                    "\": the result is not judged\n";
    } else {
        out.Number("tolerance_ppm", tolerance, 1);
        out.Text("within_tolerance", Verdict(fit.ppm, fit.ppmUncertainty, tolerance));
    }
    if (!std::isnan(monthly)) {
        out.Number("monthly_deviation_s", monthly, 1);
        out.Text("within_monthly_deviation",
                 Verdict(SecondsPerMonth(fit.ppm), SecondsPerMonth(fit.ppmUncertainty), monthly));
    }
    out.Text("summary", Signed(fit.ppm, 2) + " +- " + Signed(fit.ppmUncertainty, 2).substr(1) +
                            " ppm, " + Signed(SecondsPerMonth(fit.ppm), 1) + " s/month");
    return kExitOk;
}

}  // namespace kalendo::cli
