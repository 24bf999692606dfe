// The data-sheet check on a thread of its own, so the window stays responsive and the polls keep
// the timing they have in kalendo-cli: no window timer and no message loop in their path. The
// worker runs the check's own code over the board's ports (bus actions of its own, serialised
// with the window's by the bus mutex); the window takes copies of what it found when told.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

#include "bridge/bridge_state.h"
#include "check/datasheet_check.h"
#include "check/transition_offsets.h"
#include "marks/reference_reading.h"

namespace kalendo {

struct CheckRequest {
    DeviceHandle rtc = 0;
    DeviceHandle powerMonitor = 0;
    bool accuracyOnly = false;
    double minutes = 10;
    check::ModelFigures figures{};
    // The accuracy run's reference measured at each end (an NTP server); otherwise the system
    // clock assumed within check::kAssumedReferenceErrorSeconds throughout.
    bool measuredReference = false;
    marks::ReferenceChoice reference;
};

// RTC minus the PC's counter at one seconds transition, for the plot; the plot takes the
// counter's own rate (measured against the reference) out when it draws.
struct CheckPlotPoint {
    double seconds;      // counter seconds since the first transition
    double offsetMs;     // RTC minus counter, from the first transition's offset
    double halfWidthMs;  // the transition's bracket
};

// What the worker has found so far; a copy, so the window reads it without holding a lock.
struct CheckSnapshot {
    bool running = false;
    bool finished = false;  // `result` is the check's final result
    bool accuracyOnly = false;
    std::string phase;
    double elapsedSeconds = 0;
    double remainingSeconds = 0;
    check::AccuracyResult accuracy;  // the running estimate
    std::vector<check::CheckRow> rows;
    std::vector<CheckPlotPoint> points;  // thinned to every other one when they grow many
    std::vector<check::SweepStep> steps;
    check::CheckResult result;
    // With a measured reference: what each end used, and the larger end's error (ms).
    std::string referenceWhy;
    double referenceErrorMs = 0;
};

class CheckWorker {
  public:
    // `notify` gets `message` (posted, never sent) whenever there is something new to show.
    CheckWorker(HWND notify, UINT message) : notify_(notify), message_(message) {}
    ~CheckWorker();
    void SetNotifyWindow(HWND notify) { notify_ = notify; }
    // `window` gets `message` (posted) once a run has ended and the board is the window's again,
    // whether or not a window is there to show the progress.
    void SetEndNotice(HWND window, UINT message) {
        endWindow_ = window;
        endMessage_ = message;
    }
    CheckWorker(const CheckWorker&) = delete;
    CheckWorker& operator=(const CheckWorker&) = delete;

    // False when a run is still going or the thread could not be made.
    bool Start(const CheckRequest& request);
    // Asks the run to end; it puts the board back as the console check does, then ends, within
    // one more library time-out where the board stopped answering. Does not wait.
    void Cancel() { cancel_ = true; }
    // Cancels and waits for the thread: only where the program goes away and cannot wait for the
    // end notice. Bounded by the cancelled run's own bound.
    void Stop();
    bool Running() const;
    // A copy of what the worker found; without the final result (which holds every poll of the
    // run) for the many redraws that do not need it.
    CheckSnapshot Snapshot(bool withResult = true) const;

  private:
    static DWORD WINAPI ThreadMain(void* self);
    void Run();
    // The result shown, the window and the main window told.
    void Finish(check::CheckResult result);
    void Notify() const;

    std::atomic<HWND> notify_;
    UINT message_;
    HWND endWindow_ = nullptr;  // set before a run starts, read by the worker
    UINT endMessage_ = 0;
    HANDLE thread_ = nullptr;
    std::atomic<bool> cancel_{false};
    CheckRequest request_;
    mutable CRITICAL_SECTION lock_;
    bool lockMade_ = false;
    CheckSnapshot shared_;  // under lock_
    check::TransitionOffsets offsets_;  // worker thread only
};

}  // namespace kalendo
