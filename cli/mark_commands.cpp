// mark, marks and since: long-baseline accuracy from marks a day or more apart, the board
// keeping time on its battery in between. The measuring is marks/'s; this is its console front
// end.
#include <cmath>
#include <cstdio>

#include "bridge/os_seam.h"
#include "cli/board_session.h"
#include "cli/command_context.h"
#include "cli/interrupt_request.h"
#include "cli/reference_options.h"
#include "marks/board_identity.h"
#include "marks/mark_store_file.h"
#include "marks/since_report.h"
#include "marks/since_text.h"
#include "marks/take_mark.h"
#include "resources/resource_ids.h"
#include "check/model_figures.h"
#include "rtc/model_file.h"

namespace kalendo::cli {

namespace {

constexpr double kDefaultMarkSeconds = 60;

struct MarkOptions {
    double seconds = kDefaultMarkSeconds;
    ReferenceOptions reference;
    bool seal = false;
};

int ParseMarkOptions(CommandContext& c, const CommandArguments& args, MarkOptions* o) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--seal") {
            o->seal = true;
            continue;
        }
        bool taken = false;
        if (const int status = TakeReferenceOption(c, args, &i, &o->reference, &taken)) {
            return status;
        }
        if (taken) continue;
        if (i + 1 >= args.size()) return c.UsageError("\"" + a + "\" needs a value");
        const std::string& value = args[++i];
        if (a == "--seconds") {
            if (!ParseDecimal(value, 10, 600, &o->seconds)) {
                return c.UsageError("--seconds \"" + value +
                                    "\" is no number of seconds from 10 to 600");
            }
        } else {
            return c.UsageError("unknown option \"" + a + "\"");
        }
    }
    return CheckReferenceOptions(c, o->reference);
}

std::string ModelName(const CommandContext& c) {
    return c.model == RtcModelChoice::Tq5200 ? "TQ5200" : "TQ5100";
}

std::string ProgramText() {
    return std::string("kalendo-cli ") + KALENDO_VERSION_TEXT + " build " +
           std::to_string(KALENDO_BUILD_NUMBER);
}

std::string Fixed(double value, int decimals, bool sign = false) {
    char text[64];
    std::snprintf(text, sizeof text, sign ? "%+.*f" : "%.*f", decimals, value);
    return text;
}

std::string Hex2(int v) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", v & 0xFF);
    return text;
}

// The store as it is before the board is touched: a store that cannot be read stops here.
bool LoadStore(CommandContext& c, marks::MarkStore* store) {
    if (c.markStorePath.empty()) {
        c.Failed(
            "ERROR: no mark store: no folder for it (APPDATA or HOME unset, or "
            "KALENDO_MARK_STORE empty)");
        return false;
    }
    const marks::StoreResult loaded = marks::MarkStoreFile(c.markStorePath).Load(store);
    if (!loaded.ok()) {
        c.Failed("ERROR: " + loaded.message);
        return false;
    }
    return true;
}

// Takes the mark and stores it; on failure the message is in c.errors.
bool TakeAndStore(CommandContext& c, const MarkOptions& o, BoardSession& board,
                  marks::TakenMark* taken) {
    marks::TakeMarkSettings settings;
    settings.board = marks::OpenBoardIdentity(ModelName(c));
    settings.program = ProgramText();
    settings.seconds = o.seconds;
    settings.seal = o.seal;
    settings.randomByte = c.randomByte;
    settings.reference = ChoiceOf(c, o.reference);
    settings.wait = [](double s) { Os().SleepMs(static_cast<uint32_t>(s * 1000)); };
    if (c.progress) settings.progress = c.progress;
    const InterruptRequest interrupt;
    settings.stopRequested = [&] { return interrupt.Requested(); };
    *taken = marks::TakeMark(board.Rtc(), board.PowerMonitor(), c.markClocks, settings);
    if (!taken->ok) {
        c.Failed(taken->error);
        return false;
    }
    return true;
}

void PrintMark(FactOutput& out, const marks::TakenMark& t) {
    const marks::Mark& m = t.mark;
    out.Text("board", m.board.description + " " + m.board.serial);
    out.Text("model", m.board.model);
    out.Text("rtc_time", marks::RtcDateTimeText(m.rtc));
    out.Text("transition_utc", marks::UtcText(m.MiddleUtcNanos()));
    // Narrowed by the other transitions of the minute; its own poll's bracket beside it.
    out.Number("bracket_ms", t.bracketSeconds * 1000, 3);
    out.Number("poll_bracket_ms", t.rawBracketSeconds * 1000, 3);
    out.Text("reference", marks::ReferenceSourceName(m.reference.source));
    if (m.reference.source == marks::ReferenceSource::Ntp) {
        out.Text("reference_server", m.reference.server);
        // What the server's clock read minus the system clock's.
        out.Number("reference_offset_ms", m.reference.offsetSeconds * 1000, 3);
    }
    out.Number("reference_error_ms", m.reference.errorSeconds * 1000, 3);
    out.Text("reference_error_kind", m.reference.source == marks::ReferenceSource::Ntp
                                         ? "strict bound under NTP's assumptions"
                                     : m.reference.source == marks::ReferenceSource::Kernel
                                         ? "the kernel's own maximum error"
                                         : "assumed, not measured");
    if (t.fellBack) out.Flag("reference_fallback", true);
    out.Text("reference_text", t.referenceText);
    if (!std::isnan(m.batteryVolts)) out.Number("battery_v", m.batteryVolts, 4);
    if (!std::isnan(m.celsius)) out.Number("temperature_c", m.celsius, 1);
    out.Text("ram_0x07", Hex2(m.sealFound));
    if (m.sealWritten >= 0) out.Text("seal", Hex2(m.sealWritten));
    out.Integer("transitions", static_cast<long long>(t.transitions));
}

int StoreMark(CommandContext& c, const marks::TakenMark& t) {
    const marks::StoreResult added = marks::MarkStoreFile(c.markStorePath).AddMark(t.mark);
    c.out->Text("store", c.markStorePath);
    if (!added.ok()) {
        c.factsOnFailure = true;  // the mark's figures are shown, so nothing is lost
        return c.Failed("ERROR: " + added.message);
    }
    return kExitOk;
}

}  // namespace

int RunMark(CommandContext& c, const CommandArguments& args) {
    MarkOptions o;
    if (ParseMarkOptions(c, args, &o) != kExitOk) return kExitUsage;
    marks::MarkStore store;
    if (!LoadStore(c, &store)) return kExitBoardFailed;
    BoardSession board;
    std::string error;
    if (!board.Open(&error, BoardSession::kLatencyTimerMs, true)) return c.Failed(error);
    board.EndBusAction();  // each read takes the bus on its own
    marks::TakenMark taken;
    if (!TakeAndStore(c, o, board, &taken)) return kExitBoardFailed;
    PrintMark(*c.out, taken);
    size_t ofBoard = 1;
    for (const marks::Mark& m : store.marks) ofBoard += m.board == taken.mark.board ? 1 : 0;
    c.out->Integer("marks_of_board", static_cast<long long>(ofBoard));
    return StoreMark(c, taken);
}

int RunMarks(CommandContext& c, const CommandArguments& args) {
    if (!args.empty()) return c.UsageError("takes no arguments");
    marks::MarkStore store;
    if (!LoadStore(c, &store)) return kExitBoardFailed;
    // The board is asked only who it is.
    BoardSession board;
    std::string error;
    if (!board.Open(&error)) return c.Failed(error);
    const marks::BoardIdentity id = marks::OpenBoardIdentity(ModelName(c));
    FactOutput& out = *c.out;
    out.Text("board", id.description + " " + id.serial);
    out.Text("model", id.model);
    out.Text("store", c.markStorePath);
    size_t shown = 0, other = 0;
    for (const marks::Mark& m : store.marks) {
        if (!(m.board == id)) {
            ++other;
            continue;
        }
        ++shown;
        FactOutput::Row row;
        row.Text("transition_utc", marks::UtcText(m.MiddleUtcNanos()))
            .Text("rtc_time", marks::RtcDateTimeText(m.rtc))
            .Number("bracket_ms", (m.lateUtcNanos - m.earlyUtcNanos) / 1e6, 3)
            .Text("reference", marks::ReferenceSourceName(m.reference.source))
            .Number("reference_error_ms", m.reference.errorSeconds * 1000, 3);
        if (m.reference.source == marks::ReferenceSource::Ntp) {
            row.Text("reference_server", m.reference.server);
        }
        if (m.sealWritten >= 0) row.Text("seal", Hex2(m.sealWritten));
        row.Text("program", m.program);
        out.ListRow("marks", row,
                    "mark " + marks::UtcText(m.MiddleUtcNanos()).substr(0, 23) + "Z: RTC " +
                        marks::RtcDateTimeText(m.rtc) + ", bracket " +
                        Fixed((m.lateUtcNanos - m.earlyUtcNanos) / 1e6, 3) + " ms, reference " +
                        marks::ReferenceShortText(m) +
                        (m.sealWritten >= 0 ? ", seal " + Hex2(m.sealWritten) : ""));
    }
    for (const marks::TimeWriteEvent& e : store.events) {
        if (!e.board.SameBridge(id)) continue;
        FactOutput::Row row;
        row.Text("time_utc", marks::UtcText(e.utcNanos)).Text("what", e.what);
        out.ListRow("time_writes", row,
                    "time written " + marks::UtcText(e.utcNanos).substr(0, 19) + "Z: " + e.what);
    }
    out.Integer("marks_of_board", static_cast<long long>(shown));
    out.Integer("marks_of_other_boards", static_cast<long long>(other));
    return kExitOk;
}

int RunSince(CommandContext& c, const CommandArguments& args) {
    MarkOptions o;
    if (ParseMarkOptions(c, args, &o) != kExitOk) return kExitUsage;
    marks::MarkStore store;
    if (!LoadStore(c, &store)) return kExitBoardFailed;
    ModelTableArray models;
    const bool haveModels = ReadModelInfo(models, c.modelFile.c_str());
    const double tolerance =
        haveModels
            ? check::FiguresOf(models[c.model == RtcModelChoice::Tq5200 ? 1 : 0]).tolerancePpm
            : NAN;
    BoardSession board;
    std::string error;
    if (!board.Open(&error, BoardSession::kLatencyTimerMs, true)) return c.Failed(error);
    board.EndBusAction();
    marks::TakenMark taken;
    if (!TakeAndStore(c, o, board, &taken)) return kExitBoardFailed;
    PrintMark(*c.out, taken);
    const int stored = StoreMark(c, taken);

    const marks::SinceReport report = marks::ReportSince(store, taken.mark);
    FactOutput& out = *c.out;
    if (!std::isnan(tolerance)) out.Number("tolerance_ppm", tolerance, 1);
    int valid = 0, passed = 0, failed = 0;
    for (const marks::SinceRow& r : report.rows) {
        const marks::PairRate& p = r.rate;
        FactOutput::Row row;
        row.Text("earlier_utc", marks::UtcText(r.earlier.MiddleUtcNanos()))
            .Text("earlier_rtc_time", marks::RtcDateTimeText(r.earlier.rtc))
            .Text("earlier_reference", marks::ReferenceShortText(r.earlier))
            .Flag("valid", p.valid);
        const std::string line = marks::SinceRowText(r, tolerance);
        if (!p.valid) {
            row.Text("reason", p.reason);
            out.ListRow("since", row, line);
            continue;
        }
        ++valid;
        const check::Verdict v = marks::SinceVerdict(p, tolerance);
        passed += v == check::Verdict::Pass;
        failed += v == check::Verdict::Fail;
        row.Number("days", p.spanSeconds / 86400, 4)
            .Integer("rtc_seconds", p.rtcSeconds)
            .Number("ppm", p.ppm, 4)
            .Number("bound_ppm", p.boundPpm, 4)
            .Number("monthly_s", p.monthlySeconds, 3)
            .Number("monthly_bound_s", p.monthlyBoundSeconds, 3)
            .Text("bound_kind", "strict")
            .Text("verdict", check::VerdictWord(v));
        out.ListRow("since", row, line);
    }
    if (report.aging.valid) {
        out.Number("aging_ppm_per_year", report.aging.ppmPerYear, 3);
        out.Number("aging_bound_ppm_per_year", report.aging.boundPpmPerYear, 3);
        out.Integer("aging_marks", static_cast<long long>(report.aging.marksUsed));
        out.Number("aging_days", report.aging.spanDays, 2);
        out.Number("rate_now_ppm", report.aging.ratePpmAtLast, 4);
        out.Number("rate_now_bound_ppm", report.aging.rateBoundPpmAtLast, 4);
    }
    out.Text("aging", marks::AgingText(report.aging));
    if (report.rows.empty()) {
        out.Text("note", "no earlier mark of this board" +
                             (report.otherBoardMarks > 0
                                  ? " (the store holds " + std::to_string(report.otherBoardMarks) +
                                        " of other boards)"
                                  : std::string()) +
                             ": this mark is the first to compare with");
    }
    const bool allPassed = valid > 0 && passed == valid;
    out.Text("result", allPassed ? "pass" : failed > 0 ? "fail" : "undecided");
    if (stored != kExitOk) return stored;
    return allPassed ? kExitOk : kExitCheckFailed;
}

}  // namespace kalendo::cli
