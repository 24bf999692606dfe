// The bridge layer connected to the simulated evaluation board (both chips, on the virtual
// clock): the check's own code, and kalendo-cli's commands above it, run on it in-process.
#pragma once

#include <memory>

#include "sim/chips/evaluation_board_chips.h"
#include "sim/recorders/register_write_log.h"
#include "tests/bridge/bridge_fixture.h"

namespace kalendo::testing {

class EvaluationBoardTest : public BridgeTest {
  protected:
    void SetUp() override;
    void TearDown() override;

    // The board's clock from the start of the test.
    double BoardSeconds() const;
    // Straight from the chip, past the bridge.
    uint8_t ChipRegister(uint8_t reg);
    uint8_t MonitorRegister(uint8_t reg);

    std::unique_ptr<sim::EvaluationBoardChips> chips;
    sim::RegisterWriteLog writes;  // every register write on the bus

  private:
    int64_t zeroPs_ = 0;
};

}  // namespace kalendo::testing
