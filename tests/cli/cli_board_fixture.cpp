#include "tests/cli/cli_board_fixture.h"

namespace kalendo::testing {

cli::CliRun CliBoardTest::Run(const std::vector<std::string>& arguments) {
    cli::CommandContext context;
    context.clocks.monotonicSeconds = [this] {
        const double now = BoardSeconds();
        if (onClockRead) onClockRead(now);
        return now;
    };
    // The system clock, the reference, runs true with the board's clock unless a test skews it.
    context.clocks.systemSeconds = [this] { return 1000 + BoardSeconds(); };
    const double pcDayAtZero = kPcStart.hour * 3600.0 + kPcStart.minute * 60.0 + kPcStart.second;
    context.clocks.localSecondsOfDay = [this, pcDayAtZero] { return pcDayAtZero + BoardSeconds(); };
    // The PC's calendar runs on with the board's clock, from kPcStart.
    context.localNow = [this] {
        LocalTime t = kPcStart;
        const int day = t.hour * 3600 + t.minute * 60 + t.second + static_cast<int>(BoardSeconds());
        t.hour = day / 3600 % 24, t.minute = day / 60 % 60, t.second = day % 60;
        return t;
    };
    context.modelFile = KALENDO_MODEL_FILE;
    // A mark's and a run reference's clocks: UTC running true with the board's clock.
    context.markClocks.monotonicSeconds = [this] { return BoardSeconds(); };
    context.markClocks.systemUtcNanos = [this] {
        return 1781000000LL * 1000000000 + static_cast<int64_t>(BoardSeconds() * 1e9);
    };
    context.markClocks.utcOffsetSeconds = [] { return 0; };
    if (configure) configure(context);
    return cli::RunCli(arguments, context);
}

}  // namespace kalendo::testing
