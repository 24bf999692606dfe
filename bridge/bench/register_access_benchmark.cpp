// Host cost of register operations through the whole bridge layer on the simulated board (burst
// assembly, library calls, serial engine, bit-level bus, chip models), and the wire time each
// costs on the simulated bus.
#include <benchmark/benchmark.h>

#include "bridge/board_discovery.h"
#include "bridge/bridge_state.h"
#include "bridge/os_seam.h"
#include "bridge/register_access.h"
#include "sim/chips/evaluation_board_chips.h"
#include "sim/library/ft_entry_points.h"
#include "sim/library/simulated_library.h"

namespace {

using namespace kalendo;

// Binds the simulated library by name; one process, so the bus mutex is always free.
class SimulatedLibraryOs final : public OsSeam {
  public:
    void* OpenLibrary(const char*) override { return this; }
    void* FindSymbol(void*, const char* name) override { return sim::FindEntryPoint(name); }
    void CloseLibrary(void*) override {}
    void* CreateNamedMutex(const char*) override { return nullptr; }
    MutexWait WaitMutex(void*, uint32_t) override { return MutexWait::Acquired; }
    void ReleaseMutex(void*) override {}
    void CloseMutex(void*) override {}
    void SleepMs(uint32_t) override {}
    bool GetEnv(const char*, char*, uint32_t) override { return false; }
};

constexpr DeviceHandle kPowerMonitor = 0x0101;
constexpr DeviceHandle kRtc = 0x0102;

struct ConnectedBoard {
    ConnectedBoard() {
        sim::Simulator().Reset();
        sim::Simulator().Clock().UseVirtual(true);
        config.clock = &sim::Simulator().Clock();
        chips = std::make_unique<sim::EvaluationBoardChips>(config);
        sim::Simulator().AttachSlave(&chips->PowerMonitor());
        sim::Simulator().AttachSlave(&chips->Rtc());
        InstallOsSeam(&os);
        ConnectBridge();
        SelectDevice(kRtc);
        OpenSelectedDevice();
    }
    ~ConnectedBoard() {
        DisconnectBridge();
        InstallOsSeam(nullptr);
        sim::Simulator().Reset();
    }
    int64_t WirePs() { return sim::Simulator().BoardEngine()->WireTimePs(); }

    SimulatedLibraryOs os;
    sim::ChipsConfig config;
    std::unique_ptr<sim::EvaluationBoardChips> chips;
};

template <typename Operation>
void Measure(benchmark::State& state, Operation operation) {
    ConnectedBoard board;
    const int64_t start = board.WirePs();
    for (auto _ : state) operation();
    state.counters["wire_us_per_op"] =
        static_cast<double>(board.WirePs() - start) / 1e6 / static_cast<double>(state.iterations());
    if (Bridge().BusStatus != 0) state.SkipWithError("a transaction failed");
}

void BM_RtcRead8(benchmark::State& state) {
    Measure(state, [] { benchmark::DoNotOptimize(ReadRegisterChecked(0x00, 8)); });
}

void BM_RtcWrite8(benchmark::State& state) {
    Measure(state, [] { WriteRegisterChecked(0x07, 0x5A, 8); });
}

void BM_PowerMonitorRead16(benchmark::State& state) {
    Measure(state, [] {
        SelectDevice(kPowerMonitor);
        benchmark::DoNotOptimize(ReadRegisterChecked(0x8B, 16));
        SelectDevice(kRtc);
    });
}

// What the main window's one-second status tick sends: eight RTC reads and the presence check.
void BM_StatusTick(benchmark::State& state) {
    Measure(state, [] {
        for (uint8_t reg : {0x00, 0x01, 0x02, 0x04, 0x05, 0x06, 0x03, 0x17}) {
            benchmark::DoNotOptimize(ReadDeviceRegister(reg, 8));
        }
        SelectDevice(kPowerMonitor);
        OpenSelectedDevice();
        benchmark::DoNotOptimize(ReadDeviceRegister(0xAD, 32));
        SelectDevice(kRtc);
        OpenSelectedDevice();
    });
}

BENCHMARK(BM_RtcRead8);
BENCHMARK(BM_RtcWrite8);
BENCHMARK(BM_PowerMonitorRead16);
BENCHMARK(BM_StatusTick);

}  // namespace

BENCHMARK_MAIN();
