// The bridge layer's own CPU per operation, apart from the simulator's: the operation runs once
// on the simulated board with the library's answers recorded, then over and over against a
// stand-in that replays those answers and takes the bursts without running them.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "bench/connected_board.h"
#include "bridge/bridge_state.h"
#include "bridge/ft_library.h"

namespace {

using namespace kalendo;

std::vector<uint8_t> answers;  // what the library's reads returned, in order
size_t replayed = 0;
FtReadFn simulatedRead = nullptr;

FtStatus KALENDO_FTAPI RecordingRead(FtHandle h, void* buffer, uint32_t count, uint32_t* read) {
    const FtStatus status = simulatedRead(h, buffer, count, read);
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    answers.insert(answers.end(), bytes, bytes + *read);
    return status;
}

FtStatus KALENDO_FTAPI CannedRead(FtHandle, void* buffer, uint32_t count, uint32_t* read) {
    const size_t n = std::min<size_t>(count, answers.size() - replayed);
    std::memcpy(buffer, answers.data() + replayed, n);
    replayed += n;
    *read = static_cast<uint32_t>(n);
    return kFtOk;
}

FtStatus KALENDO_FTAPI TakenWrite(FtHandle, const void* buffer, uint32_t count, uint32_t* written) {
    benchmark::DoNotOptimize(buffer);
    *written = count;
    return kFtOk;
}

FtStatus KALENDO_FTAPI NoPurge(FtHandle, uint32_t) {
    return kFtOk;
}

void Measure(benchmark::State& state, void (*operation)()) {
    bench::ConnectedBoard board;
    FtLibrary& ft = Bridge().ft;
    const FtLibrary bound = ft;
    simulatedRead = bound.Read;
    answers.clear();
    ft.Read = RecordingRead;
    operation();
    ft.Read = CannedRead;
    ft.Write = TakenWrite;
    ft.Purge = NoPurge;
    for (auto _ : state) {
        replayed = 0;
        operation();
    }
    if (replayed != answers.size()) state.SkipWithError("the replay went another way");
    if (Bridge().BusStatus != 0) state.SkipWithError("a transaction failed");
    ft = bound;
}

void BM_BridgeRtcRead8(benchmark::State& state) {
    Measure(state, bench::RtcRead8);
}
void BM_BridgeRtcWrite8(benchmark::State& state) {
    Measure(state, bench::RtcWrite8);
}
void BM_BridgeStatusTick(benchmark::State& state) {
    Measure(state, bench::StatusTick);
}
void BM_BridgePowerPageCycle(benchmark::State& state) {
    Measure(state, bench::PowerPageCycle);
}

BENCHMARK(BM_BridgeRtcRead8);
BENCHMARK(BM_BridgeRtcWrite8);
BENCHMARK(BM_BridgeStatusTick);
BENCHMARK(BM_BridgePowerPageCycle);

}  // namespace

BENCHMARK_MAIN();
