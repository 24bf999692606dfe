// A soak of the Data Sheet Check window beside the pages, on the simulated board in real time:
// whole checks and accuracy-only runs in turn, with the Alarm poll, the Timer page's periodic
// poll, the Power page's cycle and the status tick all running, and one fault injected into each
// run at a random moment: the board unplugged, a silent board (answers 6 s late), a board
// answering 3 s late, the bus held by another holder, short reads. It prints, per run and in
// all: crashes (the program reaching its end), writes that reached the wrong chip (from the
// simulator's write log), the main window's longest freeze, and whether the supply ended as found.
//   kalendo_check_soak FOLDER [RUNS [SEED]]
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>

#include "app/application.h"
#include "app/connection_state.h"
#include "resources/resource_ids.h"
#include "tests/ui/photo_program.h"
#include "tests/ui/sim_board.h"

namespace {

using namespace kalendo;

int runs = 10;
unsigned seed = 27;
constexpr int kAlarmTab = 2;
constexpr int kTimerTab = 3;
constexpr DWORD kLibraryTimeOutMs = 5000;

// How long the main window takes to answer, from another thread.
class ResponseProbe {
  public:
    explicit ResponseProbe(HWND window) : window_(window) {
        thread_ = CreateThread(nullptr, 0, &ResponseProbe::Main, this, 0, nullptr);
    }
    ~ResponseProbe() {
        stop_ = true;
        while (WaitForSingleObject(thread_, 10) == WAIT_TIMEOUT) PumpMessages(5);
        CloseHandle(thread_);
    }
    DWORD TakeLongest() { return longest_.exchange(0); }

  private:
    static DWORD WINAPI Main(void* self) {
        auto* probe = static_cast<ResponseProbe*>(self);
        while (!probe->stop_) {
            const ULONGLONG began = GetTickCount64();
            DWORD_PTR ignored = 0;
            SendMessageTimeoutA(probe->window_, WM_NULL, 0, 0, SMTO_NORMAL, 120000, &ignored);
            const DWORD took = static_cast<DWORD>(GetTickCount64() - began);
            if (took > probe->longest_) probe->longest_ = took;
            Sleep(20);
        }
        return 0;
    }
    HWND window_;
    HANDLE thread_ = nullptr;
    std::atomic<bool> stop_{false};
    std::atomic<DWORD> longest_{0};
};

// "Another program" on the bus: a thread of its own holding the bus mutex for a while.
DWORD WINAPI HoldBus(void* ms) {
    HANDLE mutex = CreateMutexA(nullptr, FALSE, "RTCFTDIBRIDGEMutex0");
    if (!mutex) return 1;
    WaitForSingleObject(mutex, INFINITE);
    Sleep(static_cast<DWORD>(reinterpret_cast<uintptr_t>(ms)));
    ReleaseMutex(mutex);
    CloseHandle(mutex);
    return 0;
}

struct Fault {
    const char* name;
    std::function<void()> begin;
    std::function<void()> end;
    DWORD lastsMs;
};

double Supply() {
    double volts = 0;
    SimFunction<KalendoSim_GetSupplyVoltageFn>("KalendoSim_GetSupplyVoltage")(&volts);
    return volts;
}

// Writes that can only have gone to the wrong chip: the power monitor's set-up and supply
// registers at the RTC, and anything but those at the power monitor.
int WrongDeviceWrites(const SimBoard& sim) {
    const auto monitorRegister = [](uint8_t r) {
        return r == 0x38 || r == 0xD2 || r == 0xD7 || r == 0xE3 || r == 0xE4;
    };
    int wrong = 0;
    for (const BusWrite& w : sim.ValueWrites(0x32)) wrong += w.reg > 0x1F || monitorRegister(w.reg);
    for (const BusWrite& w : sim.ValueWrites(0x40)) wrong += !monitorRegister(w.reg);
    return wrong;
}

bool Soak(const std::string&, SimBoard& sim, Application& app, HWND main) {
    sim.UseVirtualClock(false);
    std::mt19937 random(seed);
    const auto unsignedFn = [](const char* name) { return SimFunction<KalendoSim_UnsignedFn>(name); };
    const auto intFn = [](const char* name) { return SimFunction<KalendoSim_IntFn>(name); };
    const Fault faults[] = {
        {"unplug", [&] { sim.Unplug(); }, [&] { sim.PlugBack(); }, 3000},
        {"silent board (answers 6 s late)",
         [&] { unsignedFn("KalendoSim_SetAnswerDelayMs")(6000); },
         [&] { unsignedFn("KalendoSim_SetAnswerDelayMs")(0); }, 8000},
        {"board answering 3 s late", [&] { unsignedFn("KalendoSim_SetAnswerDelayMs")(3000); },
         [&] { unsignedFn("KalendoSim_SetAnswerDelayMs")(0); }, 8000},
        {"bus held by another holder",
         [&] {
             HANDLE t = CreateThread(nullptr, 0, &HoldBus, reinterpret_cast<void*>(uintptr_t{3000}),
                                     0, nullptr);
             if (t) CloseHandle(t);
         },
         [] {}, 3500},
        {"short reads", [&] { intFn("KalendoSim_SetShortRead")(-1); },
         [&] { intFn("KalendoSim_SetShortRead")(0); }, 300},
    };
    constexpr int kFaultKinds = sizeof faults / sizeof faults[0];

    // The pages' timers: the alarm armed (its poll), the periodic timer running (its poll), the
    // Power page's cycle (always), the status tick (the main window's own timer).
    HWND alarm = app.Pages().Page(kAlarmTab)->Dialog();
    HWND timer = app.Pages().Page(kTimerTab)->Dialog();
    SendMessageA(alarm, WM_COMMAND, MAKEWPARAM(IDC_ALARM_TOGGLE, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(alarm, IDC_ALARM_TOGGLE)));
    SetDlgItemTextA(timer, IDC_TIMER_COUNTER_EDIT, "2");
    SendMessageA(timer, WM_COMMAND, MAKEWPARAM(IDC_TIMER_PERIODIC, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(timer, IDC_TIMER_PERIODIC)));
    SendMessageA(main, WM_COMMAND, MAKEWPARAM(IDM_CHECK_DATASHEET, 0), 0);
    DataSheetCheckWindow& window = app.CheckWindow();
    HWND check = window.Dialog();
    if (!check) return false;

    ResponseProbe probe(main);
    int wrongTotal = 0, supplyOff = 0, restoredByRun = 0, freezesTooLong = 0;
    DWORD longestAll = 0;
    for (int run = 0; run < runs; ++run) {
        if (!BoardConnected) {
            ClickButton(main, IDC_MAIN_CONNECT);
            PumpMessages(200);
        }
        if (!BoardConnected) {
            std::printf("run %d: the board did not connect again: %s\n", run,
                        [&] {
                            char t[200] = {};
                            GetDlgItemTextA(main, IDC_MAIN_INFO, t, sizeof t);
                            return std::string(t);
                        }()
                            .c_str());
            return false;
        }
        const double supplyBefore = Supply();
        sim.ClearRegisterWrites();
        const bool accuracyOnly = run % 2 == 1;
        const Fault& fault = faults[random() % kFaultKinds];
        // Anywhere in the run: the current at 3 V, the accuracy polls, the sweep.
        const DWORD faultAtMs = 1000 + random() % (accuracyOnly ? 17000 : 24000);
        SetDlgItemTextA(check, IDC_CHECK_MINUTES, "0.15");
        CheckDlgButton(check, IDC_CHECK_ACCURACY_ONLY, accuracyOnly ? BST_CHECKED : BST_UNCHECKED);
        ClickButton(check, IDC_CHECK_START);
        probe.TakeLongest();
        const ULONGLONG began = GetTickCount64();
        bool injected = false, cleared = false, stopped = false;
        ULONGLONG clearAt = 0;
        while (!window.Snapshot().finished || !cleared) {
            PumpMessages(20);
            const ULONGLONG now = GetTickCount64() - began;
            if (!injected && now >= faultAtMs) {
                fault.begin();
                injected = true;
                clearAt = now + fault.lastsMs;
            }
            if (injected && !cleared && now >= clearAt) {
                fault.end();
                cleared = true;
            }
            if (accuracyOnly && !stopped && now >= 20000) {
                ClickButton(check, IDC_CHECK_CANCEL);  // "Stop"
                stopped = true;
            }
            if (now > 240000) {
                std::printf("run %d: did not end within 4 minutes\n", run);
                return false;
            }
        }
        PumpMessages(300);  // the end notice and what waited for it
        const CheckSnapshot s = window.Snapshot();
        if (s.result.supplyRestored) ++restoredByRun;
        // A board let go while the fault lasted is connected again, as a user would; Connect
        // sets the 3.5 V row, where the check found it.
        if (!BoardConnected) {
            PumpMessages(1000);
            ClickButton(main, IDC_MAIN_CONNECT);
            PumpMessages(200);
        }
        const double supplyAfter = Supply();
        const bool asFound = supplyAfter > supplyBefore - 0.05 && supplyAfter < supplyBefore + 0.05;
        supplyOff += !asFound;
        const int wrong = WrongDeviceWrites(sim);
        wrongTotal += wrong;
        const DWORD longest = probe.TakeLongest();
        longestAll = longest > longestAll ? longest : longestAll;
        freezesTooLong += longest > kLibraryTimeOutMs;
        char state[300] = {};
        GetDlgItemTextA(check, IDC_CHECK_STATE, state, sizeof state);
        std::printf("run %2d %-13s %-33s at %5lu ms: longest freeze %5lu ms, wrong-chip writes %d, "
                    "supply %.2f -> %.2f V%s | %s\n",
                    run, accuracyOnly ? "accuracy-only" : "whole check", fault.name,
                    static_cast<unsigned long>(faultAtMs), static_cast<unsigned long>(longest),
                    wrong, supplyBefore, supplyAfter, asFound ? "" : " NOT AS FOUND", state);
        std::fflush(stdout);
    }
    std::printf("soak: %d runs, 0 crashes, %d writes to the wrong chip, longest freeze %lu ms "
                "(%d runs above one library time-out), supply as found after %d of %d runs (put "
                "back by the run itself in %d)\n",
                runs, wrongTotal, static_cast<unsigned long>(longestAll), freezesTooLong,
                runs - supplyOff, runs, restoredByRun);
    return wrongTotal == 0 && supplyOff == 0 && freezesTooLong == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 2) runs = std::atoi(argv[2]);
    if (argc > 3) seed = static_cast<unsigned>(std::strtoul(argv[3], nullptr, 10));
    return kalendo::RunPhotoProgram(argc, argv, &Soak);
}
