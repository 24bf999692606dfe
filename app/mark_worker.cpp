#include "app/mark_worker.h"

#include "bridge/register_port.h"
#include "marks/mark_clocks.h"

namespace kalendo {

MarkWorker::~MarkWorker() {
    Stop();
}

bool MarkWorker::Start(const MarkRequest& request) {
    if (Running()) return false;
    Stop();  // a finished mark's thread handle
    request_ = request;
    cancel_ = false;
    {
        std::lock_guard<std::mutex> hold(lock_);
        shared_ = MarkSnapshot();
        shared_.running = true;
        shared_.progress = "starting";
    }
    thread_ = CreateThread(nullptr, 0, &MarkWorker::ThreadMain, this, 0, nullptr);
    if (!thread_) {
        std::lock_guard<std::mutex> hold(lock_);
        shared_.running = false;
        return false;
    }
    return true;
}

void MarkWorker::Stop() {
    if (!thread_) return;
    cancel_ = true;
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    thread_ = nullptr;
}

bool MarkWorker::Running() const {
    std::lock_guard<std::mutex> hold(lock_);
    return shared_.running;
}

MarkSnapshot MarkWorker::Snapshot() const {
    std::lock_guard<std::mutex> hold(lock_);
    return shared_;
}

void MarkWorker::Notify() const {
    const HWND notify = notify_.load();
    if (notify) PostMessageA(notify, message_, 0, 0);
}

DWORD WINAPI MarkWorker::ThreadMain(void* self) {
    static_cast<MarkWorker*>(self)->Run();
    return 0;
}

void MarkWorker::Run() {
    // The polls want each answer at the next USB round trip, as the check's do.
    DevicePort rtc(request_.rtc, AnswerTiming::Immediate);
    DevicePort monitor(request_.powerMonitor, AnswerTiming::Immediate);
    marks::TakeMarkSettings settings = request_.settings;
    settings.wait = [](double seconds) { Sleep(static_cast<DWORD>(seconds * 1000)); };
    settings.stopRequested = [this] { return cancel_.load(); };
    settings.progress = [this](const std::string& line) {
        {
            std::lock_guard<std::mutex> hold(lock_);
            shared_.progress = line;
        }
        Notify();
    };
    marks::MarkNowResult result =
        marks::MarkNow(rtc, monitor, marks::SystemMarkClocks(), settings, request_.storePath);
    {
        std::lock_guard<std::mutex> hold(lock_);
        shared_.result = std::move(result);
        shared_.finished = true;
        shared_.running = false;
    }
    Notify();
    if (endWindow_) PostMessageA(endWindow_, endMessage_, 0, 0);
}

}  // namespace kalendo
