#include "tests/cli/cli_board_fixture.h"

#include "sim/bus/i2c_slave.h"

namespace kalendo::testing {

void CliBoardTest::SetUp() {
    BridgeTest::SetUp();
    Sim().DetachSlave(&powerMonitorChip);
    Sim().DetachSlave(&rtcChip);
    sim::ChipsConfig config;
    config.clock = &Sim().Clock();
    chips = std::make_unique<sim::EvaluationBoardChips>(config);
    Sim().AttachSlave(&chips->PowerMonitor());
    Sim().AttachSlave(&chips->Rtc());
    Sim().WithLock([&] { Sim().BoardBus().AddObserver(&writes); });
    zeroPs_ = sim::Simulator().Clock().NowPs();
}

void CliBoardTest::TearDown() {
    Sim().WithLock([&] { Sim().BoardBus().RemoveObserver(&writes); });
    BridgeTest::TearDown();
    chips.reset();
}

double CliBoardTest::BoardSeconds() const {
    return static_cast<double>(sim::Simulator().Clock().NowPs() - zeroPs_) / 1e12;
}

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
    if (configure) configure(context);
    return cli::RunCli(arguments, context);
}

// One register read on the chip's own bus callbacks, as a bus master would make it.
uint8_t CliBoardTest::ChipRegister(uint8_t reg) {
    uint8_t value = 0;
    Sim().WithLock([&] {
        sim::I2cSlave& rtc = chips->Rtc();
        rtc.OnStart(false);
        rtc.OnWrite(reg);
        rtc.OnStart(true);
        value = rtc.OnRead();
        rtc.OnStop();
    });
    return value;
}

}  // namespace kalendo::testing
