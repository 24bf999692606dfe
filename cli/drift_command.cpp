// drift: the RTC's frequency offset against the PC's clock, with the data sheet's tolerance
// from the model-information file to judge it by.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "bridge/os_seam.h"
#include "cli/board_session.h"
#include "cli/command_context.h"
#include "cli/csv_file.h"
#include "cli/interrupt_request.h"
#include "cli/reference_options.h"
#include "rtc/bcd_codec.h"
#include "check/model_figures.h"
#include "check/port_drift_board.h"
#include "check/transition_offsets.h"
#include "rtc/model_file.h"
#include "rtc/rtc_registers.h"

namespace kalendo::cli {

namespace {

// The drift command's words for a verdict: "yes" when the whole uncertainty range lies within
// +-limit, "no" when none of it does, and "undecided" when the run was too short to tell.
const char* Verdict(double value, double uncertainty, double limit) {
    switch (check::WithinPlusMinus(value, uncertainty, limit)) {
        case check::Verdict::Pass:
            return "yes";
        case check::Verdict::Fail:
            return "no";
        case check::Verdict::Undecided:
        case check::Verdict::AboveTypical:  // not a plus-minus verdict: never given here
        case check::Verdict::NotAtCondition:
            break;
    }
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
std::string CsvRow(size_t index, const check::TransitionOffset& o) {
    char line[160];
    std::snprintf(line, sizeof line, "%zu,%.6f,%.3f,%lld,%.3f\n", index, o.pcSeconds, o.halfWidthMs,
                  static_cast<long long>(o.rtcSeconds), o.offsetMs);
    return line;
}

}  // namespace

int RunDrift(CommandContext& c, const CommandArguments& args) {
    double minutes = 0;
    ReferenceOptions reference;
    std::string csvFile;
    for (size_t i = 0; i < args.size(); ++i) {
        bool taken = false;
        if (const int status = TakeReferenceOption(c, args, &i, &reference, &taken)) return status;
        if (taken) continue;
        if (i + 1 >= args.size()) return c.UsageError("\"" + args[i] + "\" needs a value");
        const std::string& value = args[++i];
        if (args[i - 1] == "--minutes") {
            if (!ParseMinutes(value, &minutes)) {
                return c.UsageError("--minutes \"" + value +
                                    "\" is no positive number of minutes (at most 10080)");
            }
        } else if (args[i - 1] == "--csv") {
            if (value.empty()) return c.UsageError("--csv needs a file name");
            csvFile = value;
        } else {
            return c.UsageError("unknown option \"" + args[i - 1] + "\"");
        }
    }
    if (minutes <= 0) return c.UsageError("--minutes N is required");
    if (const int status = CheckReferenceOptions(c, reference)) return status;

    BoardSession board;
    std::string error;
    if (!board.Open(&error, BoardSession::kLatencyTimerMs, true)) return c.Failed(error);
    board.EndBusAction();  // each read takes the bus on its own
    std::unique_ptr<CsvFile> csv;
    if (!csvFile.empty()) {
        csv = std::make_unique<CsvFile>(csvFile, kCsvHeader);
        if (!csv->Create()) return c.Failed("ERROR: CSV file \"" + csvFile + "\" not written");
    }
    check::PortDriftBoard probe(board.Rtc(), board.PowerMonitor());
    marks::RunReference runReference(ChoiceOf(c, reference), c.markClocks, c.clocks.systemSeconds,
                                     c.progress);
    if (!runReference.Start(&error)) return c.Failed(error + "; drift not measured");
    std::string endError;
    check::DriftSettings settings;
    settings.seconds = minutes * 60;
    settings.accuracy.referenceAt = [&](double system) { return runReference.At(system); };
    settings.pollingEnded = [&] { runReference.End(&endError); };
    settings.wait = [](double seconds) { Os().SleepMs(static_cast<uint32_t>(seconds * 1000)); };
    settings.progress = [&](const check::DriftProgress& p) {
        runReference.Sample();
        if (!c.progress) return;
        char line[128];
        if (p.accuracy.valid) {
            std::snprintf(line, sizeof line, "drift: %.0f of %.0f s, %+.2f +- %.2f ppm",
                          p.elapsedSeconds, settings.seconds, p.accuracy.ppm,
                          p.accuracy.uncertaintyPpm);
        } else {
            std::snprintf(line, sizeof line, "drift: %.0f of %.0f s, waiting for transitions",
                          p.elapsedSeconds, settings.seconds);
        }
        c.progress(line);
    };
    check::TransitionOffsets offsets;
    if (csv) {
        settings.transitionSeen = [&](size_t index, const check::SecondsTransition& t) {
            csv->Add(CsvRow(index, offsets.Of(index, t)));
        };
    }
    const InterruptRequest interrupt;
    settings.stopRequested = [&] { return interrupt.Requested(); };
    const check::DriftResult result = check::MeasureDrift(probe, c.clocks, settings);
    const bool csvWritten = !csv || csv->Close();
    // What the file kept of a run that failed, so the engineer knows what is left of it.
    const std::string kept =
        csv ? "; \"" + csvFile + "\" holds " + std::to_string(csv->rows()) + " transitions" : "";
    if (!result.error.empty()) return c.Failed(result.error + kept);
    if (!endError.empty()) return c.Failed(endError + " at the run's end; drift not stated" + kept);
    if (result.polls.size() < 3) {
        return c.Failed("ERROR: Drift not measured, fewer than 3 seconds transitions seen" + kept);
    }
    if (!result.accuracy.valid) {
        return c.Failed("ERROR: Drift not measured, " + result.accuracy.error + kept);
    }
    if (!csvWritten) return c.Failed("ERROR: CSV file \"" + csvFile + "\" not written");

    const check::AccuracyResult& a = result.accuracy;
    FactOutput& out = *c.out;
    out.Text("model", c.model == RtcModelChoice::Tq5200 ? "TQ5200" : "TQ5100");
    out.Number("offset_ppm", a.ppm, 3);
    out.Number("uncertainty_ppm", a.uncertaintyPpm, 3);
    out.Number("fit_uncertainty_ppm", a.fitUncertaintyPpm, 3);
    out.Number("reference_uncertainty_ppm", a.referenceUncertaintyPpm, 3);
    out.Text("reference", a.reference);
    PrintRunReference(out, runReference, reference);
    out.Number("counter_ppm", a.counterPpm, 2);
    out.Integer("system_clock_steps", static_cast<long long>(a.steps.size()));
    if (!a.steps.empty()) {
        out.Number("last_step_ms", a.steps.back().sizeSeconds * 1000, 1);
        out.Integer("polls_after_last_step", static_cast<long long>(a.pollsUsed));
    }
    // Every transition seen, as the CSV holds them; the fit may use fewer (polls_after_last_step).
    out.Integer("transitions", static_cast<long long>(result.transitions.size()));
    out.Integer("failed_reads", result.failedReads);
    if (result.interrupted) out.Flag("interrupted", true);
    out.Number("span_s", a.spanSeconds, 1);
    if (result.offsetKnown) out.Number("rtc_minus_pc_ms", result.offsetMs, 1);
    out.Number("seconds_per_month", check::SecondsPerMonth(a.ppm), 2);
    if (result.temperatureReadings > 0) {
        out.Number("board_temperature_min_c", result.minCelsius, 1);
        out.Number("board_temperature_mean_c", result.meanCelsius, 1);
        out.Number("board_temperature_max_c", result.maxCelsius, 1);
    }
    ModelTableArray models;
    const int record = c.model == RtcModelChoice::Tq5200 ? 1 : 0;
    const bool haveModels = ReadModelInfo(models, c.modelFile.c_str());
    const double tolerance =
        haveModels ? check::PlusMinusValue(models[record].fields[kModelFrequencyTolerance]) : NAN;
    const double monthly =
        haveModels ? check::PlusMinusValue(models[record].fields[kModelMonthlyDeviation]) : NAN;
    if (std::isnan(tolerance)) {
        c.errors += "kalendo-cli: no frequency tolerance for this model in \"" + c.modelFile +
                    "\": the result is not judged\n";
    } else {
        out.Number("tolerance_ppm", tolerance, 1);
        out.Text("within_tolerance", Verdict(a.ppm, a.uncertaintyPpm, tolerance));
    }
    if (!std::isnan(monthly)) {
        out.Number("monthly_deviation_s", monthly, 1);
        // The same offset over the data sheets' 30 days: where the figure is the tolerance over
        // that month it reads as the tolerance does, so the two can never disagree.
        const check::ModelFigures figures = check::FiguresOf(models[record]);
        out.Text("within_monthly_deviation",
                 check::MonthlyIsToleranceOverAMonth(figures)
                     ? Verdict(a.ppm, a.uncertaintyPpm, tolerance)
                     : Verdict(check::SecondsPerMonth(a.ppm),
                               check::SecondsPerMonth(a.uncertaintyPpm), monthly));
    }
    out.Text("summary", Signed(a.ppm, 2) + " +- " + Signed(a.uncertaintyPpm, 2).substr(1) +
                            " ppm against the " + a.reference + ", " +
                            Signed(check::SecondsPerMonth(a.ppm), 1) + " s/month");
    return kExitOk;
}

}  // namespace kalendo::cli
