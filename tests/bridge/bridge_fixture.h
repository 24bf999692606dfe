// A bridge layer bound to the simulated library through the test seam, with register-file chips
// at the power monitor's and the RTC's addresses.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bridge/board_discovery.h"
#include "bridge/bridge_state.h"
#include "bridge/i2c_engine.h"
#include "bridge/register_access.h"
#include "sim/bus/register_file_slave.h"
#include "sim/library/simulated_library.h"
#include "tests/bridge/fake_os.h"

namespace kalendo::testing {

using Bytes = std::vector<uint8_t>;

constexpr DeviceHandle kPowerMonitor = 0x0101;
constexpr DeviceHandle kRtc = 0x0102;

// Forgets everything the bridge layer holds, as at process start.
void ResetBridgeState();

class BridgeTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    sim::SimulatedLibrary& Sim() { return sim::Simulator(); }
    void Connect() { ASSERT_EQ(ConnectBridge(), 1); }
    // Connects, selects h and forgets the traffic so far.
    void ConnectAndSelect(DeviceHandle h);

    std::vector<std::string> CallNames() const;
    int CountCalls(const std::string& name) const;
    // Counts passed to FT_Read, in order.
    std::vector<uint64_t> ReadCounts() const;

    FakeOs os;
    sim::RegisterFileSlave powerMonitorChip{0x40, 256};
    sim::RegisterFileSlave rtcChip{0x32, 256};
};

// Expected bursts, spelled out from the engine's blocks.
namespace expect {
Bytes Start();
Bytes Stop();
Bytes ByteOut(uint8_t b);
Bytes ByteIn(bool last);
Bytes Cat(std::initializer_list<Bytes> parts);
}  // namespace expect

}  // namespace kalendo::testing
