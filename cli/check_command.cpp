// check: the board's RTC measured against its model file's figures, row by row, with an HTML
// report and CSV records if asked. The measuring is check/'s; this is its console front end.
#include <cmath>
#include <cstdio>
#include <memory>

#include "bridge/os_seam.h"
#include "bridge/simulated_board.h"
#include "cli/board_session.h"
#include "cli/command_context.h"
#include "cli/csv_file.h"
#include "cli/interrupt_request.h"
#include "check/accuracy_rows.h"
#include "check/check_report.h"
#include "check/check_report_file.h"
#include "check/datasheet_check.h"
#include "check/transition_offsets.h"
#include "cli/reference_options.h"
#include "marks/board_identity.h"
#include "marks/mark_now.h"
#include "marks/since_report_html.h"
#include "rtc/model_file.h"

namespace kalendo::cli {

namespace {

constexpr double kDefaultMinutes = 10;

struct CheckOptions {
    double minutes = kDefaultMinutes;
    ReferenceOptions reference;
    double lowestSupplyVolts = NAN;
    std::string reportFile;
    std::string csvFolder;
};

int ParseOptions(CommandContext& c, const CommandArguments& args, CheckOptions* o) {
    for (size_t i = 0; i < args.size(); ++i) {
        bool taken = false;
        if (const int status = TakeReferenceOption(c, args, &i, &o->reference, &taken)) {
            return status;
        }
        if (taken) continue;
        if (i + 1 >= args.size()) return c.UsageError("\"" + args[i] + "\" needs a value");
        const std::string& value = args[++i];
        const std::string& option = args[i - 1];
        if (option == "--minutes") {
            if (!ParseMinutes(value, &o->minutes)) {
                return c.UsageError("--minutes \"" + value +
                                    "\" is no positive number of minutes (at most 10080)");
            }
        } else if (option == "--lowest-supply") {
            int tenths = 0;
            if (!ParseSupplyTenths(value, &tenths) || tenths > 30) {
                return c.UsageError("--lowest-supply \"" + value +
                                    "\" is no supply setting from 0.1 to 3.0 V");
            }
            o->lowestSupplyVolts = tenths / 10.0;
        } else if (option == "--report") {
            if (value.empty()) return c.UsageError("--report needs a file name");
            o->reportFile = value;
        } else if (option == "--csv") {
            if (value.empty()) return c.UsageError("--csv needs a folder");
            o->csvFolder = value;
        } else {
            return c.UsageError("unknown option \"" + option + "\"");
        }
    }
    return CheckReferenceOptions(c, o->reference);
}

std::string Path(const std::string& folder, const char* name) {
    const char last = folder.back();
    return folder + (last == '/' || last == '\\' ? "" : "/") + name;
}

std::string Number(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string TransitionRow(size_t index, const check::TransitionOffset& o) {
    char line[160];
    std::snprintf(line, sizeof line, "%zu,%.6f,%.3f,%lld,%.3f\n", index, o.pcSeconds, o.halfWidthMs,
                  static_cast<long long>(o.rtcSeconds), o.offsetMs);
    return line;
}

std::string StepRow(const check::SweepStep& s) {
    char line[200];
    std::snprintf(line, sizeof line, "%s,%.1f,%.4f,%.4f,%.4f,%.4f,%d,%d,%d\n",
                  s.falling ? "down" : "up", s.tenths / 10.0, s.vddVolts, s.vddMicroamps,
                  s.batteryVolts, s.batteryMicroamps, s.rtcAnswers ? 1 : 0, s.failedReads,
                  s.onBattery ? 1 : 0);
    return line;
}

void PrintRows(FactOutput& out, const check::CheckResult& r) {
    for (const check::CheckRow& row : r.rows) {
        FactOutput::Row fields;
        fields.Text("row", row.name).Text("figure", row.figure).Flag("measured", row.measured);
        if (row.measured) {
            fields.Number("value", row.value, 6).Number("uncertainty", row.uncertainty, 6);
            fields.Text("bound", check::BoundText(row));
        }
        fields.Text("unit", row.unit).Text("verdict", check::VerdictWord(row.verdict));
        fields.Text("note", row.note);
        out.ListRow("rows", fields,
                    row.name + ": " + check::ValueText(row) + " (data sheet: " + row.figure +
                        "): " + check::VerdictWord(row.verdict));
    }
}

}  // namespace

int RunCheck(CommandContext& c, const CommandArguments& args) {
    CheckOptions o;
    if (ParseOptions(c, args, &o) != kExitOk) return kExitUsage;

    // Everything that can fail without the board fails before it is touched.
    ModelTableArray models;
    const int record = c.model == RtcModelChoice::Tq5200 ? 1 : 0;
    if (!ReadModelInfo(models, c.modelFile.c_str())) {
        return c.Failed("ERROR: model file \"" + c.modelFile +
                        "\" not read: no data-sheet figures to check against");
    }
    std::unique_ptr<CsvFile> transitions, sweep;
    if (!o.csvFolder.empty()) {
        transitions = std::make_unique<CsvFile>(Path(o.csvFolder, "transitions.csv"),
                                                "transition,pc_s,pc_half_width_ms,rtc_s,rtc_minus_pc_ms\n");
        sweep = std::make_unique<CsvFile>(Path(o.csvFolder, "sweep.csv"),
                                          "direction,setting_v,vdd_v,vdd_ua,battery_v,"
                                          "battery_ua,rtc_answers,rtc_failed_reads,on_battery\n");
        for (CsvFile* f : {transitions.get(), sweep.get()}) {
            if (!f->Create()) return c.Failed("ERROR: CSV file \"" + f->name() + "\" not written");
        }
    }
    // Made now, so a report that cannot be written is found before the board is touched.
    if (!o.reportFile.empty()) {
        std::FILE* report = std::fopen(o.reportFile.c_str(), "wb");
        if (!report) return c.Failed("ERROR: report \"" + o.reportFile + "\" not written");
        std::fclose(report);
    }

    BoardSession board;
    std::string error;
    if (!board.Open(&error, BoardSession::kLatencyTimerMs, true)) {
        if (!o.reportFile.empty()) std::remove(o.reportFile.c_str());  // an empty one says nothing
        return c.Failed(error);
    }
    board.EndBusAction();  // each read and change takes the bus on its own

    marks::RunReference runReference(ChoiceOf(c, o.reference), c.markClocks,
                                     c.clocks.systemSeconds, c.progress);
    if (!runReference.Start(&error)) {
        if (!o.reportFile.empty()) std::remove(o.reportFile.c_str());
        return c.Failed(error + "; the check was not started");
    }
    std::string endError;
    check::CheckSettings settings;
    settings.accuracySeconds = o.minutes * 60;
    settings.accuracy.referenceAt = [&](double system) { return runReference.At(system); };
    settings.accuracyPollingEnded = [&] { runReference.End(&endError); };
    settings.figures = check::FiguresOf(models[record]);
    settings.lowestSupplyVolts = o.lowestSupplyVolts;
    settings.wait = [](double seconds) { Os().SleepMs(static_cast<uint32_t>(seconds * 1000)); };
    settings.progress = [&](const check::CheckProgress& p) {
        runReference.Sample();
        if (!c.progress) return;
        std::string line = "check: " + p.phase;
        if (p.accuracy.valid) {
            line += Number(", %+.2f", p.accuracy.ppm) +
                    Number(" +- %.2f ppm", p.accuracy.uncertaintyPpm);
        }
        c.progress(line + ", " + check::TimeLeftText(p.remainingSeconds));
    };
    check::TransitionOffsets offsets;
    if (transitions) {
        settings.transitionSeen = [&](size_t index, const check::SecondsTransition& t) {
            transitions->Add(TransitionRow(index, offsets.Of(index, t)));
        };
        settings.stepSeen = [&](const check::SweepStep& s) { sweep->Add(StepRow(s)); };
    }
    const InterruptRequest interrupt;
    settings.cancelRequested = [&] { return interrupt.Requested(); };
    check::CheckResult result =
        check::RunDataSheetCheck(board.Rtc(), board.PowerMonitor(), c.clocks, settings);
    if (!endError.empty()) check::LeaveAccuracyRowsUnmeasured(runReference.EndFailure(), &result);

    const std::string model = c.model == RtcModelChoice::Tq5200 ? "TQ5200" : "TQ5100";
    FactOutput& out = *c.out;
    const check::AccuracyResult& a = result.drift.accuracy;
    out.Text("model", model);
    out.Text("reference", a.reference);
    PrintRunReference(out, runReference, o.reference);
    if (a.valid) {
        out.Number("counter_ppm", a.counterPpm, 2);
        out.Integer("system_clock_steps", static_cast<long long>(a.steps.size()));
    }
    PrintRows(out, result);
    if (result.interrupted) out.Flag("interrupted", true);
    out.Flag("supply_restored", result.supplyRestored);
    out.Text("board_state", result.boardState);
    const bool passed = result.error.empty() && !result.interrupted && check::AllRowsPassed(result);
    out.Text("result", passed ? "pass" : check::OverallVerdictWord(result));

    bool reportWritten = true;
    if (!o.reportFile.empty()) {
        check::ReportInfo info;
        info.model = model;
        info.board = check::BoardNameOf(board.RtcDevice());
        info.date = c.localNow ? check::CheckDateText(c.localNow()) : "";
        info.referenceErrorMs = runReference.ErrorMs(false);
        info.referenceText = o.reference.givenMs >= 0 ? "" : runReference.Why();
        info.accuracyMinutes = o.minutes;
        // The board's marks, as since gives them; a store that cannot be read leaves them out
        // and says so, the check's report stands.
        marks::SinceReport latest;
        std::string message;
        if (!c.markStorePath.empty() &&
            marks::LatestReport(c.markStorePath, marks::OpenBoardIdentity(model), &latest,
                                &message)) {
            info.longTermHtml = marks::SinceReportHtml(latest, settings.figures.tolerancePpm);
        } else if (!message.empty()) {
            c.errors += "WARNING: the report has no long-term marks: " + message + "\n";
        }
        reportWritten = check::WriteCheckReport(o.reportFile, result, info);
        out.Text("report", o.reportFile);
    }
    bool csvWritten = true;
    for (CsvFile* f : {transitions.get(), sweep.get()}) {
        if (f && !f->Close()) {
            csvWritten = false;
            c.errors += "ERROR: CSV file \"" + f->name() + "\" not written\n";
        }
    }
    if (!reportWritten) c.errors += "ERROR: report \"" + o.reportFile + "\" not written\n";
    if (!result.error.empty()) {
        c.factsOnFailure = true;
        return c.Failed(result.error + "; " + result.boardState);
    }
    if (!reportWritten || !csvWritten) {
        c.factsOnFailure = true;
        return kExitBoardFailed;
    }
    if (!result.supplyRestored) c.errors += "kalendo-cli: " + result.boardState + "\n";
    return passed ? kExitOk : kExitCheckFailed;
}

}  // namespace kalendo::cli
