#include "app/datasheet_check_window.h"

#include <commctrl.h>
#include <commdlg.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "app/check_plot.h"
#include "app/connection_state.h"
#include "app/marks_plot.h"
#include "bridge/register_access.h"
#include "check/check_report.h"
#include "check/check_report_file.h"
#include "check/pc_clocks.h"
#include "marks/board_identity.h"
#include "marks/mark_store_file.h"
#include "marks/since_report_html.h"
#include "marks/since_text.h"
#include "ntp/ntp_server_name.h"
#include "rtc/model_file.h"
#include "resources/resource_ids.h"

namespace kalendo {

namespace {

constexpr double kDefaultMinutes = 10;
constexpr double kMostMinutes = 10080;  // a week, as kalendo-cli allows
constexpr double kReferenceErrorMs = check::kAssumedReferenceErrorSeconds * 1000;
constexpr int kProgressSteps = 1000;

struct Column {
    const char* title;
    int width;
};
constexpr Column kColumns[] = {
    {"Row", 150}, {"Data sheet", 190}, {"Measured", 170}, {"Verdict", 70}};
constexpr Column kMarkColumns[] = {{"Since mark (UTC)", 128},
                                   {"Days", 45},
                                   {"Rate since, ppm (strict bound)", 250},
                                   {"Verdict", 60},
                                   {"Reference then", 130}};

std::string Fixed(double value, int decimals, bool sign = false) {
    char text[64];
    std::snprintf(text, sizeof text, sign ? "%+.*f" : "%.*f", decimals, value);
    return text;
}

std::string ModelName() {
    return Tq5200Selected == 1 ? "TQ5200" : "TQ5100";
}

// The data sheet's frequency tolerance of the chosen model; NaN without the model file.
double ModelTolerancePpm() {
    ModelTableArray models;
    if (!ReadModelInfo(models)) return NAN;
    return check::FiguresOf(models[Tq5200Selected == 1 ? 1 : 0]).tolerancePpm;
}

void AddColumns(HWND list, const Column* columns, int count) {
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES,
                 LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    for (int c = 0; c < count; ++c) {
        LVCOLUMNA column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = const_cast<char*>(columns[c].title);
        column.cx = columns[c].width;
        SendMessageA(list, LVM_INSERTCOLUMNA, c, reinterpret_cast<LPARAM>(&column));
    }
}

std::string Format(const char* format, double a, double b = 0, double c = 0) {
    char text[160];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

void SetItem(HWND list, int row, int column, const std::string& text) {
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = const_cast<char*>(text.c_str());
    SendMessageA(list, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
}

}  // namespace

DataSheetCheckWindow::~DataSheetCheckWindow() {
    EndRunAndWait("closing the program");
    if (dialog_) DestroyWindow(dialog_);
    if (largeFont_) DeleteObject(largeFont_);
}

void DataSheetCheckWindow::Open(HINSTANCE instance, HWND owner) {
    if (dialog_) {
        ShowWindow(dialog_, SW_SHOWNORMAL);
        SetForegroundWindow(dialog_);
        return;
    }
    dialog_ = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_DATASHEET_CHECK), owner, DialogProc,
                                 reinterpret_cast<LPARAM>(this));
    if (dialog_) ShowWindow(dialog_, SW_SHOWNORMAL);
}

INT_PTR CALLBACK DataSheetCheckWindow::DialogProc(HWND window, UINT message, WPARAM wParam,
                                                  LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(window, DWLP_USER, lParam);
        auto* self = reinterpret_cast<DataSheetCheckWindow*>(lParam);
        self->dialog_ = window;
        self->OnInit();
        return TRUE;
    }
    auto* self = reinterpret_cast<DataSheetCheckWindow*>(GetWindowLongPtrA(window, DWLP_USER));
    return self ? self->Handle(message, wParam, lParam) : FALSE;
}

INT_PTR DataSheetCheckWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDC_CHECK_START:
                    OnStart();
                    return TRUE;
                case IDC_CHECK_MARK_NOW:
                    OnMarkNow();
                    return TRUE;
                case IDC_CHECK_CANCEL:
                    if (marker_.Running()) {
                        marker_.Cancel();
                        SetState("Cancelling: the mark ends at its next poll, not taken");
                    } else if (worker_.Running()) {
                        worker_.Cancel();
                        SetState(running_.accuracyOnly
                                     ? "Stopping: the last poll ends the run"
                                     : "Cancelling: the supply is being put back");
                    }
                    return TRUE;
                case IDC_CHECK_SAVE:
                    OnSave();
                    return TRUE;
                case IDCANCEL:  // the close box and Escape
                    SendMessageA(dialog_, WM_CLOSE, 0, 0);
                    return TRUE;
            }
            return FALSE;
        case kCheckNotifyMessage:
            ShowProgress();
            return TRUE;
        case kMarkNotifyMessage:
            ShowMarkProgress();
            return TRUE;
        case WM_DRAWITEM: {
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (item->CtlID == IDC_CHECK_MARKS_PLOT) {
                DrawMarksPlot(item->hDC, item->rcItem, marksShown_.series);
                return TRUE;
            }
            if (item->CtlID != IDC_CHECK_PLOT) return FALSE;
            DrawCheckPlots(item->hDC, item->rcItem, worker_.Snapshot(false));
            return TRUE;
        }
        case WM_CLOSE:
            EndRun("closing the Data Sheet Check window");
            DestroyWindow(dialog_);
            return TRUE;
        case WM_DESTROY:
            worker_.SetNotifyWindow(nullptr);
            marker_.SetNotifyWindow(nullptr);
            dialog_ = nullptr;
            return FALSE;
        default:
            return FALSE;
    }
}

void DataSheetCheckWindow::OnInit() {
    worker_.SetNotifyWindow(dialog_);
    marker_.SetNotifyWindow(dialog_);
    SetDlgItemTextA(dialog_, IDC_CHECK_MINUTES, Format("%g", kDefaultMinutes).c_str());
    SendDlgItemMessageA(dialog_, IDC_CHECK_MINUTES_UPDOWN, UDM_SETRANGE32, 1,
                        static_cast<LPARAM>(kMostMinutes));
    SendDlgItemMessageA(dialog_, IDC_CHECK_PROGRESS, PBM_SETRANGE32, 0, kProgressSteps);
    if (!largeFont_) {
        largeFont_ = CreateFontA(-22, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                 OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                 DEFAULT_PITCH | FF_SWISS, "Arial");
    }
    if (largeFont_) {
        SendDlgItemMessageA(dialog_, IDC_CHECK_PPM, WM_SETFONT,
                            reinterpret_cast<WPARAM>(largeFont_), FALSE);
    }
    AddColumns(GetDlgItem(dialog_, IDC_CHECK_ROWS), kColumns,
               static_cast<int>(sizeof kColumns / sizeof kColumns[0]));
    AddColumns(GetDlgItem(dialog_, IDC_CHECK_MARKS), kMarkColumns,
               static_cast<int>(sizeof kMarkColumns / sizeof kMarkColumns[0]));
    SendDlgItemMessageA(dialog_, IDC_CHECK_NTP, EM_LIMITTEXT, 255, 0);
    SetState(BoardConnected ? "Ready: choose the minutes of the accuracy run and Start"
                            : "Connect the board, then Start");
    // Opened again while a run goes on, or after one ended unseen: its state, and its Cancel.
    const CheckSnapshot last = worker_.Snapshot();
    if (markRun_) {
        ShowMarkProgress();
    } else if (last.finished || last.running) {
        ShowProgress();
    }
    if (Running()) {
        EnableWindow(GetDlgItem(dialog_, IDC_CHECK_START), FALSE);
        EnableWindow(GetDlgItem(dialog_, IDC_CHECK_MARK_NOW), FALSE);
        EnableWindow(GetDlgItem(dialog_, IDC_CHECK_CANCEL), TRUE);
    }
    // After the state: a store that cannot be read says so there.
    ShowBoardMarks();
}

void DataSheetCheckWindow::SetState(const std::string& text) {
    if (dialog_) SetDlgItemTextA(dialog_, IDC_CHECK_STATE, text.c_str());
}

void DataSheetCheckWindow::OnStart() {
    if (worker_.Running() || !settled_) return;
    if (marker_.Running()) {
        SetState("WARNING: Data Sheet Check not started, a mark is being taken");
        return;
    }
    if (!BoardConnected) {
        SetState("WARNING: Data Sheet Check not started, RTC not connected");
        return;
    }
    // The window and its worker are kept apart by the process's own lock, but another program
    // on the board could step into the run's brackets and sweep.
    if (!Bridge().mutexHandle) {
        SetState("ERROR: Data Sheet Check not started, no bus mutex to keep other programs off "
                 "the board");
        return;
    }
    char text[32] = {};
    GetDlgItemTextA(dialog_, IDC_CHECK_MINUTES, text, sizeof text);
    char* end = nullptr;
    const double minutes = std::strtod(text, &end);
    if (end == text || *end != '\0' || !std::isfinite(minutes) || minutes <= 0 ||
        minutes > kMostMinutes) {
        SetState("ERROR: Minutes must be a number above 0 and at most 10080");
        return;
    }
    ModelTableArray models;
    if (!ReadModelInfo(models)) {
        SetState(std::string("ERROR: ") + kModelInfoFileName +
                 " not read: no data-sheet figures to check against");
        return;
    }
    const int record = Tq5200Selected == 1 ? 1 : 0;
    CheckRequest request;
    std::string why;
    if (!ReferenceOfField(&request.reference, &why)) {
        SetState("ERROR: Data Sheet Check not started, " + why);
        return;
    }
    request.measuredReference = request.reference.source != marks::ReferenceSource::Assumed;
    request.rtc = RtcHandle;
    request.powerMonitor = PowerMonitorHandle;
    request.accuracyOnly =
        IsDlgButtonChecked(dialog_, IDC_CHECK_ACCURACY_ONLY) == BST_CHECKED;
    request.minutes = minutes;
    request.figures = check::FiguresOf(models[record]);
    model_ = Tq5200Selected == 1 ? "TQ5200" : "TQ5100";
    running_ = request;
    markRun_ = false;
    endedBecause_.clear();
    // Before the worker's first transfer: the pages' timers and the tick see the hold from now.
    if (hold_) hold_(request.accuracyOnly ? CheckHold::MeasuringRtc : CheckHold::WholeBoard);
    if (!worker_.Start(request)) {
        if (hold_) hold_(CheckHold::None);
        SetState("ERROR: Data Sheet Check not started");
        return;
    }
    finishedShown_ = false;
    settled_ = false;
    EnableWindow(GetDlgItem(dialog_, IDC_CHECK_START), FALSE);
    EnableWindow(GetDlgItem(dialog_, IDC_CHECK_MARK_NOW), FALSE);
    EnableWindow(GetDlgItem(dialog_, IDC_CHECK_CANCEL), TRUE);
    EnableWindow(GetDlgItem(dialog_, IDC_CHECK_SAVE), FALSE);
    SetDlgItemTextA(dialog_, IDC_CHECK_CANCEL, request.accuracyOnly ? "Stop" : "Cancel");
    SetDlgItemTextA(dialog_, IDC_CHECK_PPM, "");
    SetDlgItemTextA(dialog_, IDC_CHECK_PPM_DETAIL, "");
    SendDlgItemMessageA(dialog_, IDC_CHECK_ROWS, LVM_DELETEALLITEMS, 0, 0);
    SendDlgItemMessageA(dialog_, IDC_CHECK_PROGRESS, PBM_SETPOS, 0, 0);
    SetState("Starting");
}

void DataSheetCheckWindow::ShowRows(const CheckSnapshot& s) {
    HWND list = GetDlgItem(dialog_, IDC_CHECK_ROWS);
    const int shown = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < static_cast<int>(s.rows.size()); ++i) {
        const check::CheckRow& row = s.rows[static_cast<size_t>(i)];
        if (i >= shown) {
            LVITEMA item = {};
            item.mask = LVIF_TEXT;
            item.iItem = i;
            item.pszText = const_cast<char*>(row.name.c_str());
            SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
        }
        SetItem(list, i, 1, row.figure);
        SetItem(list, i, 2, row.measured ? check::ValueText(row) : std::string("-"));
        SetItem(list, i, 3, row.measured ? check::VerdictWord(row.verdict) : "");
    }
}

void DataSheetCheckWindow::ShowProgress() {
    if (!dialog_ || markRun_) return;
    const CheckSnapshot s = worker_.Snapshot(!finishedShown_);
    ShowRows(s);
    const check::AccuracyResult& a = s.accuracy;
    if (a.valid) {
        // As many decimals as the uncertainty leaves meaningful.
        const char* figure = a.uncertaintyPpm >= 10  ? "%+.0f +- %.0f ppm"
                             : a.uncertaintyPpm >= 1 ? "%+.1f +- %.1f ppm"
                                                     : "%+.3f +- %.3f ppm";
        SetDlgItemTextA(dialog_, IDC_CHECK_PPM, Format(figure, a.ppm, a.uncertaintyPpm).c_str());
        const std::string reference = s.referenceWhy.empty()
                                          ? a.reference + Format(" within %g ms", kReferenceErrorMs)
                                          : s.referenceWhy;
        const std::string detail =
            Format("run +-%.3f, reference +-%.3f ppm", a.fitUncertaintyPpm,
                   a.referenceUncertaintyPpm) +
            " (" + reference + ")\r\n" +
            Format("over %.0f s; PC counter %+.1f ppm against it", a.spanSeconds, a.counterPpm);
        SetDlgItemTextA(dialog_, IDC_CHECK_PPM_DETAIL, detail.c_str());
    }
    InvalidateRect(GetDlgItem(dialog_, IDC_CHECK_PLOT), nullptr, FALSE);
    if (s.finished) {
        if (!finishedShown_) Finished(s);
        return;
    }
    if (!s.running) return;
    const double whole = s.elapsedSeconds + s.remainingSeconds;
    if (!s.accuracyOnly && whole > 0) {
        SendDlgItemMessageA(dialog_, IDC_CHECK_PROGRESS, PBM_SETPOS,
                            static_cast<WPARAM>(kProgressSteps * s.elapsedSeconds / whole), 0);
    }
    SetState("Running: " + s.phase +
             (s.accuracyOnly ? Format(", %.0f s so far", s.elapsedSeconds)
                             : ", " + check::TimeLeftText(s.remainingSeconds)));
}

void DataSheetCheckWindow::Settle() {
    if (settled_) return;
    settled_ = true;
    if (hold_) hold_(CheckHold::None);
}

void DataSheetCheckWindow::Finished(const CheckSnapshot& s) {
    finishedShown_ = true;
    EnableWindow(GetDlgItem(dialog_, IDC_CHECK_START), TRUE);
    EnableWindow(GetDlgItem(dialog_, IDC_CHECK_MARK_NOW), TRUE);
    EnableWindow(GetDlgItem(dialog_, IDC_CHECK_CANCEL), FALSE);
    EnableWindow(GetDlgItem(dialog_, IDC_CHECK_SAVE), TRUE);
    const check::CheckResult& r = s.result;
    std::string state;
    if (!r.error.empty()) {
        // The measurement's errors are the window's messages already, most with their prefix.
        const bool prefixed = r.error.compare(0, 6, "ERROR:") == 0;
        state = (prefixed ? "" : "ERROR: ") + r.error + "; " + r.boardState;
    } else if (!endedBecause_.empty()) {
        state = "Ended by " + endedBecause_ + "; " + r.boardState;
    } else if (r.interrupted) {
        state = running_.accuracyOnly ? "Stopped; " + r.boardState : "Cancelled; " + r.boardState;
    } else {
        int passed = 0;
        for (const check::CheckRow& row : r.rows) passed += row.verdict == check::Verdict::Pass;
        state = check::AllRowsPassed(r)
                    ? "Done: every row passed; " + r.boardState
                    : Format("Done: %.0f of %.0f rows passed; ", passed,
                             static_cast<double>(r.rows.size())) +
                          r.boardState;
    }
    if (!running_.accuracyOnly) {
        SendDlgItemMessageA(dialog_, IDC_CHECK_PROGRESS, PBM_SETPOS, kProgressSteps, 0);
    }
    SetState(state);
}

bool DataSheetCheckWindow::EndRun(const char* why) {
    if (marker_.Running()) {
        if (endedBecause_.empty()) endedBecause_ = why;
        marker_.Cancel();
        SetState("Ending (" + endedBecause_ + "): the mark ends at its next poll, not taken");
        return true;
    }
    if (!worker_.Running()) return !settled_;  // ended, its notice still on its way
    if (endedBecause_.empty()) endedBecause_ = why;
    worker_.Cancel();
    SetState("Ending (" + endedBecause_ + "): " +
             (running_.accuracyOnly ? std::string("the last poll ends the run")
                                    : std::string("the supply is being put back")));
    return true;
}

void DataSheetCheckWindow::EndRunAndWait(const char* why) {
    if (Running() && endedBecause_.empty()) endedBecause_ = why;
    worker_.Stop();
    marker_.Stop();
    RunEnded();
}

void DataSheetCheckWindow::RunEnded() {
    if (Running()) return;  // a notice of an earlier run; this one has not ended
    Settle();
    if (!dialog_) return;
    // The closing state, once.
    if (markRun_) {
        ShowMarkProgress();
    } else {
        ShowProgress();
    }
}

bool DataSheetCheckWindow::SaveReport(const std::string& path) {
    const CheckSnapshot s = worker_.Snapshot();
    if (!s.finished) {
        SetState("ERROR: no finished check to report");
        return false;
    }
    check::ReportInfo info;
    info.model = model_;
    info.board = check::BoardNameOf(running_.rtc);
    info.date = check::CheckDateText(check::SystemLocalTime());
    info.referenceErrorMs = s.referenceWhy.empty() ? kReferenceErrorMs : s.referenceErrorMs;
    info.referenceText = s.referenceWhy;
    // The board's marks as the window shows them.
    info.longTermHtml = marks::SinceReportHtml(marksShown_, ModelTolerancePpm());
    info.accuracyMinutes = running_.accuracyOnly ? s.result.drift.accuracy.spanSeconds / 60
                                                 : running_.minutes;
    const bool written = check::WriteCheckReport(path, s.result, info);
    SetState(written ? "Report saved: " + path : "ERROR: report \"" + path + "\" not written");
    return written;
}

void DataSheetCheckWindow::OnSave() {
    char path[MAX_PATH] = "kalendo-check.html";
    OPENFILENAMEA dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = dialog_;
    dialog.lpstrFilter = "HTML report (*.html)\0*.html\0All files (*.*)\0*.*\0";
    dialog.lpstrFile = path;
    dialog.nMaxFile = sizeof path;
    dialog.lpstrDefExt = "html";
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    if (GetSaveFileNameA(&dialog)) SaveReport(path);
}

bool DataSheetCheckWindow::ReferenceOfField(marks::ReferenceChoice* reference,
                                            std::string* error) const {
    char server[256] = {};
    GetDlgItemTextA(dialog_, IDC_CHECK_NTP, server, sizeof server);
    *reference = marks::ReferenceChoice();
    reference->assumedErrorSeconds = check::kAssumedReferenceErrorSeconds;
    std::string text = server;
    text.erase(0, text.find_first_not_of(" \t"));
    text.erase(text.find_last_not_of(" \t") + 1);
    if (text.empty()) return true;
    std::string why;
    if (!ntp::ParseNtpServerName(text, &reference->server, &why)) {
        *error = "NTP server \"" + text + "\": " + why;
        return false;
    }
    reference->source = marks::ReferenceSource::Ntp;
    reference->burst.wait = [](double seconds) { Sleep(static_cast<DWORD>(seconds * 1000)); };
    return true;
}

void DataSheetCheckWindow::ShowBoardMarks() {
    marksShown_ = marks::SinceReport();
    std::string message;
    if (BoardConnected) {
        marks::SinceReport report;
        if (marks::LatestReport(marks::DefaultMarkStorePath(),
                                marks::OpenBoardIdentity(ModelName()), &report, &message)) {
            marksShown_ = report;
        }
    }
    ShowMarks(marksShown_);
    // A store that cannot be read is said; the rest of the window goes on.
    if (!message.empty() && dialog_) SetState("ERROR: " + message);
}

void DataSheetCheckWindow::ShowMarks(const marks::SinceReport& report) {
    if (!dialog_) return;
    HWND list = GetDlgItem(dialog_, IDC_CHECK_MARKS);
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    const double tolerance = ModelTolerancePpm();
    for (int i = 0; i < static_cast<int>(report.rows.size()); ++i) {
        const marks::SinceRow& row = report.rows[static_cast<size_t>(i)];
        const std::string when = marks::UtcText(row.earlier.MiddleUtcNanos()).substr(0, 19) + "Z";
        LVITEMA item = {};
        item.mask = LVIF_TEXT;
        item.iItem = i;
        item.pszText = const_cast<char*>(when.c_str());
        SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
        const marks::PairRate& p = row.rate;
        if (p.valid) {
            SetItem(list, i, 1, Fixed(p.spanSeconds / 86400, 3));
            SetItem(list, i, 2, Fixed(p.ppm, 3, true) + " +- " + Fixed(p.boundPpm, 3));
            SetItem(list, i, 3, check::VerdictWord(marks::SinceVerdict(p, tolerance)));
        } else {
            SetItem(list, i, 1, "-");
            SetItem(list, i, 2, "no rate: " + p.reason);
            SetItem(list, i, 3, "");
        }
        SetItem(list, i, 4, marks::ReferenceShortText(row.earlier));
    }
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    std::string aging;
    if (report.series.empty()) {
        aging = BoardConnected ? "No marks of this board yet: Mark now takes the first"
                               : "Connect the board to see its marks";
    } else {
        aging = Fixed(static_cast<double>(report.series.size()), 0) + " marks of this board; " +
                (std::isnan(tolerance) ? std::string("no data-sheet figure to judge by")
                                       : "data sheet: +/-" + Fixed(tolerance, 1) + " ppm") +
                "\r\nAging: " + marks::AgingText(report.aging);
    }
    SetDlgItemTextA(dialog_, IDC_CHECK_AGING, aging.c_str());
    InvalidateRect(GetDlgItem(dialog_, IDC_CHECK_MARKS_PLOT), nullptr, FALSE);
    InvalidateRect(list, nullptr, TRUE);
}

void DataSheetCheckWindow::OnMarkNow() {
    if (Running() || !settled_) {
        SetState("WARNING: Mark not taken, the Data Sheet Check is running");
        return;
    }
    if (!BoardConnected) {
        SetState("WARNING: Mark not taken, RTC not connected");
        return;
    }
    if (!Bridge().mutexHandle) {
        SetState("ERROR: Mark not taken, no bus mutex to keep other programs off the board");
        return;
    }
    MarkRequest request;
    request.storePath = marks::DefaultMarkStorePath();
    if (request.storePath.empty()) {
        SetState("ERROR: Mark not taken, no folder for the mark store (APPDATA unset)");
        return;
    }
    std::string why;
    if (!ReferenceOfField(&request.settings.reference, &why)) {
        SetState("ERROR: Mark not taken, " + why);
        return;
    }
    request.rtc = RtcHandle;
    request.powerMonitor = PowerMonitorHandle;
    request.settings.board = marks::OpenBoardIdentity(ModelName());
    request.settings.program = std::string("Kalendo ") + KALENDO_VERSION_TEXT + " build " +
                               std::to_string(KALENDO_BUILD_NUMBER);
    request.settings.seconds = markSeconds_;
    markRun_ = true;
    endedBecause_.clear();
    // Like the accuracy-only run: nothing may move the seconds the mark is timing.
    if (hold_) hold_(CheckHold::MeasuringRtc);
    if (!marker_.Start(request)) {
        if (hold_) hold_(CheckHold::None);
        SetState("ERROR: Mark not taken, no thread for it");
        return;
    }
    finishedShown_ = false;
    settled_ = false;
    EnableWindow(GetDlgItem(dialog_, IDC_CHECK_START), FALSE);
    EnableWindow(GetDlgItem(dialog_, IDC_CHECK_MARK_NOW), FALSE);
    EnableWindow(GetDlgItem(dialog_, IDC_CHECK_CANCEL), TRUE);
    SetDlgItemTextA(dialog_, IDC_CHECK_CANCEL, "Cancel");
    SetState("Taking a mark");
}

void DataSheetCheckWindow::ShowMarkProgress() {
    if (!dialog_ || !markRun_) return;
    const MarkSnapshot s = marker_.Snapshot();
    if (s.finished) {
        if (!finishedShown_) MarkFinished(s);
        return;
    }
    if (s.running) SetState("Taking a mark: " + s.progress);
}

void DataSheetCheckWindow::MarkFinished(const MarkSnapshot& s) {
    finishedShown_ = true;
    EnableWindow(GetDlgItem(dialog_, IDC_CHECK_START), TRUE);
    EnableWindow(GetDlgItem(dialog_, IDC_CHECK_MARK_NOW), TRUE);
    EnableWindow(GetDlgItem(dialog_, IDC_CHECK_CANCEL), FALSE);
    const marks::MarkNowResult& r = s.result;
    if (!r.taken.ok) {
        if (!r.stored.ok()) {
            // The store was refused before the board was touched: it stays as it was.
            SetState("ERROR: Mark not taken: " + r.stored.message);
        } else if (!endedBecause_.empty()) {
            SetState("Ended by " + endedBecause_ + "; no mark taken");
        } else if (r.taken.error.compare(0, 6, "ERROR:") == 0) {
            SetState(r.taken.error);
        } else {
            SetState("Mark not taken: " + r.taken.error);
        }
        return;
    }
    if (!r.stored.ok()) {
        SetState("ERROR: Mark taken but not stored: " + r.stored.message);
        return;
    }
    marksShown_ = r.report;
    ShowMarks(marksShown_);
    SetState("Mark taken: RTC " + marks::RtcDateTimeText(r.taken.mark.rtc) + ", bracket +-" +
             Fixed(r.taken.bracketSeconds * 1000 / 2, 3) + " ms, reference " +
             marks::ReferenceShortText(r.taken.mark));
}

}  // namespace kalendo
