// The simulated evaluation board with the bridge layer connected to it, on the virtual clock,
// and the operations the program repeats most: what every benchmark here measures.
#pragma once

#include <cstdint>
#include <memory>

#include "bridge/bridge_state.h"
#include "bridge/os_seam.h"
#include "sim/chips/evaluation_board_chips.h"

namespace kalendo::bench {

constexpr DeviceHandle kPowerMonitor = 0x0101;
constexpr DeviceHandle kRtc = 0x0102;

// Binds the simulated library by name; one process, so the bus mutex is always free. The
// host's sleeps move the board's virtual clock.
class SimulatedLibraryOs final : public OsSeam {
  public:
    void* OpenLibrary(const char*) override { return this; }
    void* FindSymbol(void*, const char* name) override;
    void CloseLibrary(void*) override {}
    void* CreateNamedMutex(const char*) override { return nullptr; }
    MutexWait WaitMutex(void*, uint32_t) override { return MutexWait::Acquired; }
    void ReleaseMutex(void*) override {}
    void CloseMutex(void*) override {}
    void SleepMs(uint32_t ms) override;
    bool GetEnv(const char*, char*, uint32_t) override { return false; }
};

// The board on the virtual clock with the simulated library bound, not yet connected: for
// benchmarks that open it as a front end does (kalendo-cli's BoardSession). Reset when it goes.
class SimulatedBoard {
  public:
    explicit SimulatedBoard(double crystalPpm);
    ~SimulatedBoard();
    SimulatedBoard(const SimulatedBoard&) = delete;
    SimulatedBoard& operator=(const SimulatedBoard&) = delete;

  private:
    SimulatedLibraryOs os_;
    sim::ChipsConfig config_;
    std::unique_ptr<sim::EvaluationBoardChips> chips_;
};

// Connected, with the RTC selected, as after "Connect".
class ConnectedBoard {
  public:
    ConnectedBoard();
    ~ConnectedBoard();
    ConnectedBoard(const ConnectedBoard&) = delete;
    ConnectedBoard& operator=(const ConnectedBoard&) = delete;

    // The board's clock and the wire time its engine has spent running commands.
    int64_t NowPs() const;
    int64_t ActiveWirePs() const;
    void IdlePs(int64_t ps);
    // The board's RTC and power monitor, for setting the sample's figures (crystal offset).
    sim::EvaluationBoardChips& Chips() { return *chips_; }

  private:
    SimulatedLibraryOs os_;
    sim::ChipsConfig config_;
    std::unique_ptr<sim::EvaluationBoardChips> chips_;
};

// The operations, as the program makes them.
void RtcRead8();
void RtcWrite8();
// The main window's one-second tick: time (3 reads), date (4), temperature (1), and the
// presence check (the power monitor's 32-bit identification).
void StatusTick();
// One 100 ms cycle of the Power and FOUT page: the five measurements.
void PowerPageCycle();

}  // namespace kalendo::bench
