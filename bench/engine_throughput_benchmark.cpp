// Host cost of the simulated board: engine bytes per second for the bursts of one register
// read and one register write, and the wire time those bursts take on the simulated bus.
#include <benchmark/benchmark.h>

#include <vector>

#include "tests/support/i2c_burst_builder.h"
#include "sim/bus/register_file_slave.h"
#include "sim/engine/serial_engine.h"

namespace {

using kalendo::sim::I2cBus;
using kalendo::sim::RegisterFileSlave;
using kalendo::sim::SerialEngine;
namespace burst = kalendo::sim::burst;

struct Board {
    Board() {
        bus.AttachSlave(&chip);
        const auto setup = burst::Setup(true);
        engine.Write(setup.data(), setup.size());
    }
    void Run(const std::vector<uint8_t>& bytes) {
        engine.Write(bytes.data(), bytes.size());
        uint8_t answers[64];
        while (engine.Pending()) engine.Read(answers, sizeof answers);
    }
    I2cBus bus;
    SerialEngine engine{bus};
    RegisterFileSlave chip{0x32, 32};
};

void ReportWire(benchmark::State& state, const Board& board, int64_t wireStart, size_t bytes) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
    state.counters["wire_us_per_op"] = static_cast<double>(board.engine.WireTimePs() - wireStart) /
                                       1e6 / static_cast<double>(state.iterations());
}

// One 8-bit register read: the select burst (no STOP) and the data burst.
void BM_RegisterRead8(benchmark::State& state) {
    Board board;
    const auto select = burst::RegisterSelect(0x32, 0x00);
    const auto data = burst::DataRead(0x32, 1);
    const int64_t wireStart = board.engine.WireTimePs();
    for (auto _ : state) {
        board.Run(select);
        board.Run(data);
    }
    ReportWire(state, board, wireStart, select.size() + data.size());
}
BENCHMARK(BM_RegisterRead8);

// One 8-bit register write (330 bytes).
void BM_RegisterWrite8(benchmark::State& state) {
    Board board;
    const auto write = burst::RegisterWrite(0x32, 0x0F, {0x05});
    const int64_t wireStart = board.engine.WireTimePs();
    for (auto _ : state) board.Run(write);
    ReportWire(state, board, wireStart, write.size());
}
BENCHMARK(BM_RegisterWrite8);

// A 7-byte read (the time and date registers in one go).
void BM_RegisterRead7Bytes(benchmark::State& state) {
    Board board;
    const auto select = burst::RegisterSelect(0x32, 0x00);
    const auto data = burst::DataRead(0x32, 7);
    const int64_t wireStart = board.engine.WireTimePs();
    for (auto _ : state) {
        board.Run(select);
        board.Run(data);
    }
    ReportWire(state, board, wireStart, select.size() + data.size());
}
BENCHMARK(BM_RegisterRead7Bytes);

}  // namespace

BENCHMARK_MAIN();
