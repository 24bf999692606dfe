// The "Data Sheet Check" window: a modeless dialog that runs the data-sheet check (or the
// accuracy rows alone) on the connected board, fills the rows in as they are measured, plots
// RTC minus reference with the fit and its band, and saves the same HTML report as kalendo-cli.
// The measuring is check/'s, on a worker thread (CheckWorker); this is its window. Beside it,
// the board's marks: "Mark now" (marks/'s MarkNow on a MarkWorker), the rate since each earlier
// mark with its strict bound, the aging, and RTC minus reference against days.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "app/check_hold.h"
#include "app/check_worker.h"
#include "app/mark_worker.h"
#include "marks/reference_reading.h"
#include "marks/since_report.h"

namespace kalendo {

constexpr UINT kCheckNotifyMessage = WM_APP + 40;
// Posted to the main window when a run has ended: what waited for it (Disconnect, a lost board,
// a model change, closing) goes on then.
constexpr UINT kCheckRunEndedMessage = WM_APP + 41;
constexpr UINT kMarkNotifyMessage = WM_APP + 42;

class DataSheetCheckWindow {
  public:
    // `hold` is told what a run asks of the rest of the window when it starts, and None once it
    // has ended and its changes to the program are undone.
    explicit DataSheetCheckWindow(std::function<void(CheckHold)> hold) : hold_(std::move(hold)) {}
    ~DataSheetCheckWindow();
    DataSheetCheckWindow(const DataSheetCheckWindow&) = delete;
    DataSheetCheckWindow& operator=(const DataSheetCheckWindow&) = delete;

    // The main window, told with kCheckRunEndedMessage when a run has ended.
    void SetEndNotice(HWND mainWindow) {
        worker_.SetEndNotice(mainWindow, kCheckRunEndedMessage);
        marker_.SetEndNotice(mainWindow, kCheckRunEndedMessage);
    }

    // Opens the window, or brings it to the front when it is open.
    void Open(HINSTANCE instance, HWND owner);
    HWND Dialog() const { return dialog_; }
    // A check or a mark.
    bool Running() const { return worker_.Running() || marker_.Running(); }
    // The run going, or ending with its notice on the way, is a mark rather than a check.
    bool TakingAMark() const { return markRun_ && !settled_; }

    // Ends a run because the board goes (Disconnect, board lost, model change, exit). True when a
    // run was going: it is asked to end, puts the board back where it still answers, and the
    // window says "Ending"; what the caller was doing must wait for kCheckRunEndedMessage. The
    // window never waits for the worker here.
    bool EndRun(const char* why);
    // The same, waiting for the worker to end: only where the program goes away. Bounded by the
    // cancelled run's own bound (one more library time-out).
    void EndRunAndWait(const char* why);
    // The end notice has come: the run's changes to the program are undone and its end shown.
    void RunEnded();

    // Writes the last finished run's report; false, with the reason on the window's state line,
    // when there is none or the file could not be written.
    bool SaveReport(const std::string& path);

    // The board's marks from the store, for the table and the plot (the window opening, a
    // Connect); emptied when no board is connected.
    void ShowBoardMarks();
    // Seconds of transitions a mark chooses from (60; the tests take shorter ones).
    void SetMarkSeconds(double seconds) { markSeconds_ = seconds; }

    // The workers' snapshots, for the tests.
    CheckSnapshot Snapshot() const { return worker_.Snapshot(); }
    MarkSnapshot MarkState() const { return marker_.Snapshot(); }
    const marks::SinceReport& MarksShown() const { return marksShown_; }

  private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void OnInit();
    void OnStart();
    void OnSave();
    void ShowProgress();
    void ShowRows(const CheckSnapshot& s);
    void Finished(const CheckSnapshot& s);
    void SetState(const std::string& text);
    void OnMarkNow();
    // The NTP server field: empty for the assumed reference; false with why for a bad name.
    bool ReferenceOfField(marks::ReferenceChoice* reference, std::string* error) const;
    void ShowMarkProgress();
    void MarkFinished(const MarkSnapshot& s);
    void ShowMarks(const marks::SinceReport& report);
    // What a run changed in the program (the hold on the pages) undone, once,
    // even where the window is gone before its last notice arrived.
    void Settle();

    std::function<void(CheckHold)> hold_;
    HWND dialog_ = nullptr;
    HFONT largeFont_ = nullptr;
    CheckWorker worker_{nullptr, kCheckNotifyMessage};
    MarkWorker marker_{nullptr, kMarkNotifyMessage};
    CheckRequest running_;
    bool markRun_ = false;  // the last run was a mark, not a check
    double markSeconds_ = 60;
    marks::SinceReport marksShown_;
    bool finishedShown_ = true;
    bool settled_ = true;
    std::string endedBecause_;  // set by EndRun for the closing state text
    std::string model_;
};

}  // namespace kalendo
