// The "Data Sheet Check" window: a modeless dialog that runs the data-sheet check (or the
// accuracy rows alone) on the connected board, fills the rows in as they are measured, plots
// RTC minus reference with the fit and its band, and saves the same HTML report as kalendo-cli.
// The measuring is rtc/check's, on a worker thread (CheckWorker); this is its window.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "app/check_worker.h"

namespace kalendo {

constexpr UINT kCheckNotifyMessage = WM_APP + 40;

class DataSheetCheckWindow {
  public:
    // `pausePages(true)` is called when a run that changes the board starts, (false) when it ends.
    explicit DataSheetCheckWindow(std::function<void(bool)> pausePages)
        : pausePages_(std::move(pausePages)) {}
    ~DataSheetCheckWindow();
    DataSheetCheckWindow(const DataSheetCheckWindow&) = delete;
    DataSheetCheckWindow& operator=(const DataSheetCheckWindow&) = delete;

    // Opens the window, or brings it to the front when it is open.
    void Open(HINSTANCE instance, HWND owner);
    HWND Dialog() const { return dialog_; }
    bool Running() const { return worker_.Running(); }

    // Ends a run because the board goes (Disconnect, board lost, model change, exit): the run puts
    // the board back where it still answers, and the window says why it ended. Waits for it.
    void EndRun(const char* why);

    // Writes the last finished run's report; false, with the reason on the window's state line,
    // when there is none or the file could not be written.
    bool SaveReport(const std::string& path);

    // The worker's snapshot, for the tests.
    CheckSnapshot Snapshot() const { return worker_.Snapshot(); }

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
    void UseSendImmediate(bool on);
    // What a run changed in the program (the send-immediate, the pages' pause) undone, once, even
    // where the window is gone before its last notice arrived.
    void Settle();

    std::function<void(bool)> pausePages_;
    HWND dialog_ = nullptr;
    HFONT largeFont_ = nullptr;
    CheckWorker worker_{nullptr, kCheckNotifyMessage};
    CheckRequest running_;
    bool finishedShown_ = true;
    std::string endedBecause_;  // set by EndRun for the closing state text
    std::string model_;
};

}  // namespace kalendo
