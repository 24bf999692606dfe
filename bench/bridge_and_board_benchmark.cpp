// Register operations through the whole bridge layer on the simulated board (burst assembly,
// library calls, serial engine, bit-level bus, chip models): the host's CPU per operation, the
// wire time its bursts take, and the time the program waits for it under the bridge's latency
// timer (2 ms, as the program sets it) on the board's clock. That last depends on where in the
// timer's period the operation starts: the benchmark starts each iteration at another of 20
// phases and reports the best, the mean (typical) and the worst.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <limits>

#include "bench/connected_board.h"
#include "bridge/bridge_state.h"

namespace {

using namespace kalendo;

constexpr int64_t kLatencyPs = 2'000'000'000;
constexpr int kPhases = 20;

void Measure(benchmark::State& state, void (*operation)()) {
    bench::ConnectedBoard board;
    int64_t wirePs = 0;
    int64_t best = std::numeric_limits<int64_t>::max();
    int64_t worst = 0;
    int64_t total = 0;
    int64_t n = 0;
    for (auto _ : state) {
        board.IdlePs((n % kPhases) * kLatencyPs / kPhases);
        const int64_t start = board.NowPs();
        const int64_t wireStart = board.ActiveWirePs();
        operation();
        const int64_t visible = board.NowPs() - start;
        wirePs += board.ActiveWirePs() - wireStart;
        best = std::min(best, visible);
        worst = std::max(worst, visible);
        total += visible;
        ++n;
    }
    if (Bridge().BusStatus != 0) state.SkipWithError("a transaction failed");
    state.counters["wire_ms"] = static_cast<double>(wirePs) / 1e9 / static_cast<double>(n);
    state.counters["visible_best_ms"] = static_cast<double>(best) / 1e9;
    state.counters["visible_typical_ms"] =
        static_cast<double>(total) / 1e9 / static_cast<double>(n);
    state.counters["visible_worst_ms"] = static_cast<double>(worst) / 1e9;
}

void BM_RtcRead8(benchmark::State& state) {
    Measure(state, bench::RtcRead8);
}
void BM_RtcWrite8(benchmark::State& state) {
    Measure(state, bench::RtcWrite8);
}
void BM_StatusTick(benchmark::State& state) {
    Measure(state, bench::StatusTick);
}
void BM_PowerPageCycle(benchmark::State& state) {
    Measure(state, bench::PowerPageCycle);
}

BENCHMARK(BM_RtcRead8);
BENCHMARK(BM_RtcWrite8);
BENCHMARK(BM_StatusTick);
BENCHMARK(BM_PowerPageCycle);

}  // namespace

BENCHMARK_MAIN();
