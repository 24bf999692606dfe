// What every command of kalendo-cli gets: the global choices, where its facts and messages go,
// and the PC's clocks (the program's own, or a test's).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "check/drift_measurement.h"
#include "cli/fact_output.h"
#include "marks/mark_clocks.h"
#include "ntp/udp_network.h"
#include "power/local_time.h"

namespace kalendo::cli {

struct CommandContext {
    RtcModelChoice model = RtcModelChoice::Tq5100;
    FactOutput* out = nullptr;
    std::string errors;      // for standard error, each line ending in a line feed
    std::string usageError;  // set by a command that refuses its arguments (exit 2)
    check::PcClocks clocks;
    std::function<LocalTime()> localNow;
    std::function<void(const std::string&)> progress;  // a progress line, may be empty
    std::string modelFile;  // rtc_model_info.txt to take the data sheet's tolerance from
    // The facts are printed although the command failed: a check that lost the board part-way
    // still gives the rows it measured.
    bool factsOnFailure = false;
    // Marks: the store's file (empty: no store, and time writes are not recorded), the clocks a
    // mark is taken on, the network --ntp reaches its server through (null: the system's), the
    // kernel's clock error and the seal's randomness (empty: the system's).
    std::string markStorePath;
    marks::MarkClocks markClocks;
    ntp::UdpNetwork* network = nullptr;
    std::function<bool(double* seconds, std::string* reason)> kernelError;
    std::function<uint8_t()> randomByte;

    int UsageError(const std::string& reason) {
        usageError = reason;
        return kExitUsage;
    }
    int Failed(const std::string& message) {
        errors += message + "\n";
        return kExitBoardFailed;
    }
};

using CommandArguments = std::vector<std::string>;

// The commands; each takes the words after its name.
int RunBoards(CommandContext& c, const CommandArguments& args);
int RunTime(CommandContext& c, const CommandArguments& args);
int RunDate(CommandContext& c, const CommandArguments& args);
int RunRegs(CommandContext& c, const CommandArguments& args);
int RunReg(CommandContext& c, const CommandArguments& args);
int RunAlarm(CommandContext& c, const CommandArguments& args);
int RunFout(CommandContext& c, const CommandArguments& args);
int RunSupply(CommandContext& c, const CommandArguments& args);
int RunPower(CommandContext& c, const CommandArguments& args);
int RunLog(CommandContext& c, const CommandArguments& args);
int RunDrift(CommandContext& c, const CommandArguments& args);
int RunCheck(CommandContext& c, const CommandArguments& args);
int RunMark(CommandContext& c, const CommandArguments& args);
int RunMarks(CommandContext& c, const CommandArguments& args);
int RunSince(CommandContext& c, const CommandArguments& args);

}  // namespace kalendo::cli
