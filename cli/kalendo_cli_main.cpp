// kalendo-cli: the evaluation board from scripts. Binds ftd2xx.dll as the window does; see
// `kalendo-cli --help`.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/command_table.h"
#include "check/pc_clocks.h"
#include "rtc/model_file.h"

namespace {

// The model file of the current folder, as the window reads it, else the one beside the
// program, so that a script started from anywhere still finds the data sheet.
std::string ModelFilePath(const char* program) {
    std::error_code ec;
    if (std::filesystem::exists(kalendo::kModelInfoFileName, ec)) return kalendo::kModelInfoFileName;
    const std::filesystem::path beside =
        std::filesystem::path(program).parent_path() / kalendo::kModelInfoFileName;
    return std::filesystem::exists(beside, ec) ? beside.string() : kalendo::kModelInfoFileName;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    kalendo::cli::CommandContext context;
    context.clocks = kalendo::check::SystemPcClocks();
    context.localNow = kalendo::check::SystemLocalTime;
    context.modelFile = ModelFilePath(argv[0]);
    bool progressShown = false;
    // Progress rewrites one line of standard error; results go to standard output.
    context.progress = [&](const std::string& line) {
        std::fprintf(stderr, "\r%-72s", line.c_str());
        std::fflush(stderr);
        progressShown = true;
    };
    const kalendo::cli::CliRun run = kalendo::cli::RunCli(arguments, context);
    if (progressShown) std::fputc('\n', stderr);
    std::fputs(run.out.c_str(), stdout);
    std::fputs(run.err.c_str(), stderr);
    return run.status;
}
