// "Mark now" on a thread of its own: a mark takes about a minute of the RTC's seconds
// transitions, and its brackets want no window timer or message loop in their path. Like the
// check's worker, it posts what it found and tells the main window once the board is free again.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>

#include "bridge/bridge_state.h"
#include "marks/mark_now.h"

namespace kalendo {

struct MarkRequest {
    DeviceHandle rtc = 0;
    DeviceHandle powerMonitor = 0;
    marks::TakeMarkSettings settings;  // board, program, seconds and reference filled in
    std::string storePath;
};

struct MarkSnapshot {
    bool running = false;
    bool finished = false;  // `result` is the mark's
    std::string progress;
    marks::MarkNowResult result;
};

class MarkWorker {
  public:
    // `notify` gets `message` (posted) whenever there is something new to show.
    MarkWorker(HWND notify, UINT message) : notify_(notify), message_(message) {}
    ~MarkWorker();
    MarkWorker(const MarkWorker&) = delete;
    MarkWorker& operator=(const MarkWorker&) = delete;

    void SetNotifyWindow(HWND notify) { notify_ = notify; }
    // `window` gets `message` (posted) once a mark has ended and the board is the window's again.
    void SetEndNotice(HWND window, UINT message) {
        endWindow_ = window;
        endMessage_ = message;
    }

    // False when a mark is still being taken or the thread could not be made.
    bool Start(const MarkRequest& request);
    // The mark ends at its next poll, not taken. Does not wait.
    void Cancel() { cancel_ = true; }
    // Cancels and waits: only where the program goes away.
    void Stop();
    bool Running() const;
    MarkSnapshot Snapshot() const;

  private:
    static DWORD WINAPI ThreadMain(void* self);
    void Run();
    void Notify() const;

    std::atomic<HWND> notify_;
    UINT message_;
    HWND endWindow_ = nullptr;  // set before a mark starts, read by the worker
    UINT endMessage_ = 0;
    HANDLE thread_ = nullptr;
    std::atomic<bool> cancel_{false};
    MarkRequest request_;
    mutable std::mutex lock_;
    MarkSnapshot shared_;  // under lock_
};

}  // namespace kalendo
