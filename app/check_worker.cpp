#include "app/check_worker.h"

#include <algorithm>
#include <cmath>

#include "bridge/register_port.h"
#include "check/accuracy_rows.h"
#include "check/pc_clocks.h"
#include "marks/mark_clocks.h"
#include "marks/run_reference.h"

namespace kalendo {

namespace {

// Each lock of the shared snapshot, released on every path.
class Locked {
  public:
    explicit Locked(CRITICAL_SECTION* lock) : lock_(lock) { EnterCriticalSection(lock_); }
    ~Locked() { LeaveCriticalSection(lock_); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

  private:
    CRITICAL_SECTION* lock_;
};

// "Until Cancel" in the accuracy-only run: a week, the console program's longest run.
constexpr double kUntilCancelledSeconds = 7 * 24 * 3600.0;
constexpr size_t kMostPlotPoints = 4000;

}  // namespace

CheckWorker::~CheckWorker() {
    Stop();
    if (lockMade_) DeleteCriticalSection(&lock_);
}

bool CheckWorker::Start(const CheckRequest& request) {
    if (Running()) return false;
    Stop();  // a finished run's thread handle
    if (!lockMade_) {
        InitializeCriticalSection(&lock_);
        lockMade_ = true;
    }
    request_ = request;
    cancel_ = false;
    {
        Locked hold(&lock_);
        shared_ = CheckSnapshot();
        shared_.running = true;
        shared_.accuracyOnly = request.accuracyOnly;
        shared_.phase = "starting";
    }
    thread_ = CreateThread(nullptr, 0, &CheckWorker::ThreadMain, this, 0, nullptr);
    if (!thread_) {
        Locked hold(&lock_);
        shared_.running = false;
        return false;
    }
    return true;
}

void CheckWorker::Stop() {
    if (!thread_) return;
    cancel_ = true;
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    thread_ = nullptr;
}

bool CheckWorker::Running() const {
    if (!lockMade_) return false;
    Locked hold(&lock_);
    return shared_.running;
}

CheckSnapshot CheckWorker::Snapshot(bool withResult) const {
    if (!lockMade_) return CheckSnapshot();
    Locked hold(&lock_);
    if (withResult) return shared_;
    CheckSnapshot s;
    s.running = shared_.running;
    s.finished = shared_.finished;
    s.accuracyOnly = shared_.accuracyOnly;
    s.phase = shared_.phase;
    s.elapsedSeconds = shared_.elapsedSeconds;
    s.remainingSeconds = shared_.remainingSeconds;
    s.accuracy = shared_.accuracy;
    s.rows = shared_.rows;
    s.points = shared_.points;
    s.steps = shared_.steps;
    s.referenceWhy = shared_.referenceWhy;
    s.referenceErrorMs = shared_.referenceErrorMs;
    return s;
}

void CheckWorker::Notify() const {
    const HWND notify = notify_.load();
    if (notify) PostMessageA(notify, message_, 0, 0);
}

DWORD WINAPI CheckWorker::ThreadMain(void* self) {
    static_cast<CheckWorker*>(self)->Run();
    return 0;
}

void CheckWorker::Run() {
    // The check's polls want each answer at the next USB round trip, not at the latency timer's
    // next expiry; the pages' ports keep the timer.
    DevicePort rtc(request_.rtc, AnswerTiming::Immediate);
    DevicePort monitor(request_.powerMonitor, AnswerTiming::Immediate);
    const check::PcClocks clocks = check::SystemPcClocks();

    // A measured reference is read at each end of the accuracy run and now and then between, as
    // kalendo-cli's check does; the assumed one needs none of it.
    const auto phase = [this](const std::string& line) {
        {
            Locked hold(&lock_);
            shared_.phase = line;
        }
        Notify();
    };
    marks::RunReference reference(request_.reference, marks::SystemMarkClocks(),
                                  clocks.systemSeconds, phase);
    std::string startError, endError;
    if (request_.measuredReference && !reference.Start(&startError)) {
        check::CheckResult result;
        result.error = "ERROR: Data Sheet Check not started: " + startError;
        result.boardState = "nothing was changed on the board";
        Finish(std::move(result));
        return;
    }
    if (request_.measuredReference) {
        Locked hold(&lock_);
        shared_.referenceWhy = reference.Why();
        shared_.referenceErrorMs = reference.ErrorMs(false);
    }

    check::CheckSettings settings;
    settings.accuracyOnly = request_.accuracyOnly;
    settings.accuracySeconds = request_.accuracyOnly ? kUntilCancelledSeconds : request_.minutes * 60;
    settings.figures = request_.figures;
    // The run waits in short slices and looks at the cancel between them.
    settings.wait = [](double seconds) { Sleep(static_cast<DWORD>(seconds * 1000)); };
    settings.cancelRequested = [this] { return cancel_.load(); };
    if (request_.measuredReference) {
        settings.accuracy.referenceAt = [&](double system) { return reference.At(system); };
        settings.accuracyPollingEnded = [&] { reference.End(&endError); };
    }
    settings.progress = [&](const check::CheckProgress& p) {
        if (request_.measuredReference) reference.Sample();
        {
            Locked hold(&lock_);
            shared_.phase = p.phase;
            shared_.elapsedSeconds = p.elapsedSeconds;
            shared_.remainingSeconds = p.remainingSeconds;
            if (p.accuracy.valid) shared_.accuracy = p.accuracy;
            shared_.rows = p.rows;
        }
        Notify();
    };
    settings.transitionSeen = [this](size_t index, const check::SecondsTransition& t) {
        const check::TransitionOffset o = offsets_.Of(index, t);
        const CheckPlotPoint point = {o.pcSeconds, o.offsetMs, o.halfWidthMs};
        Locked hold(&lock_);
        // A plot is a few hundred pixels wide: a week's run keeps its shape in a few thousand.
        if (shared_.points.size() >= kMostPlotPoints) {
            size_t kept = 0;
            for (size_t i = 0; i < shared_.points.size(); i += 2) {
                shared_.points[kept++] = shared_.points[i];
            }
            shared_.points.resize(kept);
        }
        shared_.points.push_back(point);
    };
    settings.stepSeen = [this](const check::SweepStep& step) {
        {
            Locked hold(&lock_);
            shared_.steps.push_back(step);
        }
        Notify();
    };

    check::CheckResult result = check::RunDataSheetCheck(rtc, monitor, clocks, settings);
    if (request_.measuredReference) {
        if (!endError.empty()) check::LeaveAccuracyRowsUnmeasured(reference.EndFailure(), &result);
        const double start = reference.ErrorMs(false), end = reference.ErrorMs(true);
        Locked hold(&lock_);
        shared_.referenceWhy = reference.Why();
        shared_.referenceErrorMs = std::isnan(end) ? start : std::max(start, end);
    }
    Finish(std::move(result));
}

void CheckWorker::Finish(check::CheckResult result) {
    {
        Locked hold(&lock_);
        shared_.rows = result.rows;
        if (result.drift.accuracy.valid) shared_.accuracy = result.drift.accuracy;
        shared_.result = std::move(result);
        shared_.finished = true;
        shared_.running = false;
    }
    Notify();
    if (endWindow_) PostMessageA(endWindow_, endMessage_, 0, 0);
}

}  // namespace kalendo
