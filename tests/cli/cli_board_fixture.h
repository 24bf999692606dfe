// kalendo-cli's commands run in-process on the simulated evaluation board (both chips, on the
// virtual clock), with the PC's clocks tied to the board's clock so a minute passes in no time.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cli/command_table.h"
#include "tests/check/evaluation_board_fixture.h"

namespace kalendo::testing {

// The PC's local time at the board clock's zero.
constexpr LocalTime kPcStart = {2026, 3, 14, 9, 26, 53};

class CliBoardTest : public EvaluationBoardTest {
  protected:
    // Runs kalendo-cli with these arguments (the words after the program name).
    cli::CliRun Run(const std::vector<std::string>& arguments);
    // Called with the PC's monotonic time whenever a command reads it; lets a test make the
    // board fail in the middle of a command.
    std::function<void(double)> onClockRead;
    // Changes the context of every command (the mark store, the clocks of a mark, the network).
    std::function<void(cli::CommandContext&)> configure;
};

}  // namespace kalendo::testing
