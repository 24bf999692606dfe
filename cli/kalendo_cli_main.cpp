// kalendo-cli: the evaluation board from scripts. Binds the bridge library as the window does
// (ftd2xx.dll on Windows, libftd2xx.so on Linux); see `kalendo-cli --help`.
#include <cstdio>
#include <string>
#include <vector>

#include "check/pc_clocks.h"
#include "cli/command_table.h"
#include "cli/model_file_location.h"
#include "marks/mark_clocks.h"
#include "marks/mark_store_file.h"

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    kalendo::cli::CommandContext context;
    context.clocks = kalendo::check::SystemPcClocks();
    context.localNow = kalendo::check::SystemLocalTime;
    context.modelFile = kalendo::cli::FindModelFile(kalendo::cli::ProgramPath(argv[0]));
    context.markStorePath = kalendo::marks::DefaultMarkStorePath();
    context.markClocks = kalendo::marks::SystemMarkClocks();
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
