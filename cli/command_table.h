// The commands of kalendo-cli by name, their usage and help texts, and the run of one command
// line from the arguments to the exit status.
#pragma once

#include <string>
#include <vector>

#include "cli/command_context.h"

namespace kalendo::cli {

struct CommandSpec {
    const char* name;
    const char* synopsis;  // the forms, one a line, without the program name
    const char* help;      // what it does and prints
    int (*run)(CommandContext&, const CommandArguments&);
};

const std::vector<CommandSpec>& Commands();
const CommandSpec* FindCommand(const std::string& name);

// The whole usage text, or one command's.
std::string UsageText();
std::string CommandHelp(const CommandSpec& command);

struct CliRun {
    int status = kExitOk;
    std::string out;  // standard output
    std::string err;  // standard error
};

// Parses the arguments (without the program name) and runs the command in `context`, whose
// clocks and model file are set; the output and model fields are filled here.
CliRun RunCli(const std::vector<std::string>& arguments, CommandContext context);

}  // namespace kalendo::cli
