// Every RTC and output command on the simulated board: what it prints, what reached the chip,
// the usage errors that touch nothing, and a board that is missing or stops answering.
#include <gtest/gtest.h>

#include "rtc/rtc_registers.h"
#include "sim/chips/rtc_chip.h"
#include "sim/engine/serial_engine.h"
#include "tests/cli/cli_board_fixture.h"

namespace kalendo::testing {
namespace {

using cli::kExitBoardFailed;
using cli::kExitOk;
using cli::kExitUsage;

class BoardCommandsTest : public CliBoardTest {};

TEST_F(BoardCommandsTest, TimeSetReadAndSyncThroughTheWriteGuard) {
    cli::CliRun run = Run({"time", "set", "13:45:07"});
    ASSERT_EQ(run.status, kExitOk) << run.err;
    // The PC's clock in these tests starts at kPcStart, 09:26:53, and runs with the board's.
    EXPECT_EQ(run.out, "time: 13:45:07\nresult: RTC Time Updated\n");
    EXPECT_EQ(ChipRegister(kRegHours), 0x13);
    EXPECT_EQ(ChipRegister(kRegControl) & CTRL_WRITE_GUARD, 0);  // the guard ends cleared
    Sim().Clock().AdvanceMs(2000);
    run = Run({"time"});
    EXPECT_EQ(run.out, "time: 13:45:09\n");

    run = Run({"time", "sync"});
    ASSERT_EQ(run.status, kExitOk) << run.err;
    EXPECT_EQ(run.out, "time: 09:26:55\ndate: 2026-03-14\nresult: RTC time Synchronized to system time\n");
    run = Run({"--json", "date"});
    EXPECT_EQ(run.out, "{\"date\": \"2026-03-14\", \"weekday\": \"Saturday\"}\n");
}

TEST_F(BoardCommandsTest, DateSetWritesTheWeekDayToo) {
    cli::CliRun run = Run({"date", "set", "2024-02-29"});
    ASSERT_EQ(run.status, kExitOk) << run.err;
    EXPECT_EQ(run.out, "date: 2024-02-29\nweekday: Thursday\nresult: RTC Date Updated\n");
    EXPECT_EQ(ChipRegister(kRegYear), 0x24);
    EXPECT_EQ(ChipRegister(kRegWeek), 0x10);
    EXPECT_EQ(Run({"date"}).out, "date: 2024-02-29\nweekday: Thursday\n");
}

TEST_F(BoardCommandsTest, RegistersListedByModelAndReadAndWrittenSingly) {
    cli::CliRun run = Run({"regs"});
    ASSERT_EQ(run.status, kExitOk) << run.err;
    EXPECT_EQ(run.out.substr(0, 32), "0x00 Seconds 0x00 Read/Write\n0x0");
    EXPECT_NE(run.out.find("0x17 Temperature"), std::string::npos) << run.out;

    run = Run({"reg", "write", "0x07", " 5a "});
    ASSERT_EQ(run.status, kExitOk) << run.err;
    EXPECT_EQ(ChipRegister(0x07), 0x5A);
    run = Run({"--json", "reg", "read", "7"});
    EXPECT_EQ(run.out, "{\"address\": \"0x07\", \"name\": \"RAM\", \"value\": \"0x5A\"}\n");
}

TEST_F(BoardCommandsTest, AlarmSetArmDisarmAndRead) {
    ASSERT_EQ(Run({"alarm", "set", "06:30", "--day", "15"}).status, kExitOk);
    EXPECT_EQ(ChipRegister(kRegMinuteAlarm), 0x30);
    EXPECT_EQ(ChipRegister(kRegWeekDayAlarm), 0x15);
    EXPECT_NE(ChipRegister(kRegExtension) & EXT_DAY_ALARM, 0);
    ASSERT_EQ(Run({"alarm", "on"}).status, kExitOk);
    EXPECT_NE(ChipRegister(kRegControl) & CTRL_ALARM_INT, 0);
    EXPECT_EQ(Run({"alarm"}).out, "alarm: 06:30\nday: 15\nenabled: yes\ntriggered: no\n");

    // Setting disarms, and a week day replaces the day of month.
    cli::CliRun run = Run({"alarm", "set", "07:00", "--weekday", "Friday"});
    ASSERT_EQ(run.status, kExitOk) << run.err;
    EXPECT_EQ(ChipRegister(kRegControl) & CTRL_ALARM_INT, 0);
    EXPECT_EQ(Run({"alarm"}).out, "alarm: 07:00\nweekday: Friday\nenabled: no\ntriggered: no\n");
    ASSERT_EQ(Run({"alarm", "on"}).status, kExitOk);
    EXPECT_EQ(Run({"alarm", "off"}).out, "result: RTC Alarm disabled\n");
    EXPECT_EQ(ChipRegister(kRegControl) & CTRL_ALARM_INT, 0);
}

TEST_F(BoardCommandsTest, FoutAndSupply) {
    ASSERT_EQ(Run({"fout", "freq", "1024"}).status, kExitOk);
    EXPECT_EQ((ChipRegister(kRegExtension) & EXT_FOUT_FREQ) >> kFoutFreqShift, kFout1024Hz);
    const uint8_t otherBits = ChipRegister(kRegExtension) & ~EXT_FOUT_FREQ;
    ASSERT_EQ(Run({"fout", "freq", "1"}).status, kExitOk);
    EXPECT_EQ(ChipRegister(kRegExtension), otherBits | (kFout1Hz << kFoutFreqShift));
    EXPECT_EQ(Run({"fout", "on"}).out, "fout: yes\nresult: FOUT Enabled\n");
    EXPECT_EQ(Run({"fout", "off"}).out, "fout: no\nresult: FOUT Disabled\n");

    cli::CliRun run = Run({"supply", "2.5"});
    ASSERT_EQ(run.status, kExitOk) << run.err;
    EXPECT_EQ(run.out, "supply_v: 2.5\nresult: Voltage changed to 2.5\n");
    EXPECT_NEAR(chips->SupplyVoltage(), 2.5, 0.05);
}

TEST_F(BoardCommandsTest, BoardsListsTheChipsThatAnswer) {
    // The library here offers only the vendor's entry points: it passes for the real one (the
    // simulated library's own export is checked under Wine, in cli_program).
    EXPECT_EQ(Run({"boards"}).out,
              "boards: 1\nsimulated: no\nboard 0: UM232H channel 0, answering: ISL28023@0x40 "
              "RTC@0x32\n");
    Sim().SetAddressAcknowledge(0x32, false);
    EXPECT_EQ(Run({"--json", "boards"}).out,
              "{\"boards\": 1, \"simulated\": false, \"board_list\": [{\"board\": 0, \"channel\": 0, \"description\": "
              "\"UM232H\", \"ISL28023\": true, \"RTC\": false}]}\n");
    Sim().Unplug();
    cli::CliRun run = Run({"boards"});
    EXPECT_EQ(run.status, kExitOk);
    EXPECT_EQ(run.out, "boards: 0\nsimulated: no\n");
}

// Each is refused with its reason and the command's usage, before anything reaches the bus.
TEST_F(BoardCommandsTest, UsageErrorsTouchNothing) {
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"reboot"},
        {"--model", "TQ9"},
        {"time", "set", "25:00:00"},
        {"time", "now"},
        {"time", "set"},
        {"date", "set", "2100-01-01"},
        {"date", "set", "2023-02-29"},
        {"regs", "extra"},
        {"reg", "read", "0x20"},
        {"reg", "read", "1g"},
        {"reg", "write", "07", "100"},
        {"reg", "write", "07"},
        {"--model", "TQ5100", "reg", "read", "0x19"},  // reserved on the TQ5100
        {"alarm", "set", "7:00"},
        {"alarm", "set", "07:00", "--day", "32"},
        {"alarm", "set", "07:00", "--weekday", "Someday"},
        {"alarm", "set", "07:00", "--hour", "3"},
        {"alarm", "maybe"},
        {"fout", "freq", "4096"},
        {"fout", "blink"},
        {"supply", "4.1"},
        {"supply", "3.55"},
        {"supply"},
        {"power", "--average", "26"},
        {"power", "--average"},
        {"log"},
        {"log", "--seconds", "0"},
        {"log", "--seconds", "5", "--out"},
        {"drift"},
        {"drift", "--minutes", "-1"},
        {"drift", "--minutes", "1", "--csv"},
        {"drift", "--minutes", "1", "--fast", "yes"},
    };
    Sim().SetRecording(true);
    for (const auto& args : bad) {
        std::string line;
        for (const auto& a : args) line += a + " ";
        const cli::CliRun run = Run(args);
        EXPECT_EQ(run.status, kExitUsage) << line;
        EXPECT_EQ(run.out, "") << line;
        EXPECT_NE(run.err.find("usage:"), std::string::npos) << line << run.err;
    }
    EXPECT_EQ(CountCalls("FT_CreateDeviceInfoList"), 0);
    EXPECT_EQ(CountCalls("FT_Open"), 0);
}

TEST_F(BoardCommandsTest, HelpForAllAndForOneCommand) {
    cli::CliRun run = Run({"--help"});
    EXPECT_EQ(run.status, kExitOk);
    for (const char* command : {"boards", "time sync", "date set", "regs", "reg write", "alarm set",
                                "fout freq", "supply", "power", "log", "drift --minutes"}) {
        EXPECT_NE(run.out.find(command), std::string::npos) << command;
    }
    run = Run({"drift", "--help"});
    EXPECT_NE(run.out.find("drift --minutes N [--ntp SERVER[:PORT] [--ntp-fallback] | --reference-error-ms E] [--csv FILE]"), std::string::npos);
    EXPECT_EQ(run.out.find("alarm"), std::string::npos);
}

TEST_F(BoardCommandsTest, MissingBoardFailsWithTheWindowsWords) {
    Sim().Unplug();
    const std::vector<std::vector<std::string>> commands = {
        {"time"}, {"time", "set", "10:00:00"}, {"date"}, {"regs"}, {"reg", "write", "7", "1"},
        {"alarm", "on"}, {"fout", "on"}, {"supply", "3.0"}, {"power"}, {"drift", "--minutes", "1"}};
    for (const auto& args : commands) {
        const cli::CliRun run = Run(args);
        EXPECT_EQ(run.status, kExitBoardFailed) << args[0];
        EXPECT_EQ(run.err, "ERROR: Unable to locate ISL28023 device\n") << args[0];
        EXPECT_EQ(run.out, "") << args[0];
    }
}

TEST_F(BoardCommandsTest, RtcThatStopsAnsweringFailsEachCommandAndPrintsNoValue) {
    Sim().SetAddressAcknowledge(0x32, false);
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{"time"}, "ERROR: RTC Time not read, bus error"},
        {{"time", "set", "10:00:00"}, "ERROR: RTC Time not updated, bus error"},
        {{"time", "sync"}, "ERROR: RTC time not synchronized, bus error"},
        {{"date"}, "ERROR: RTC Date not read, bus error"},
        {{"date", "set", "2030-01-01"}, "ERROR: RTC Date not updated, bus error"},
        {{"regs"}, "ERROR: RTC Register values not read, bus error"},
        {{"reg", "read", "0"}, "ERROR: RTC Register values not read, bus error"},
        {{"reg", "write", "7", "11"}, "ERROR: Single Command not sent: Addr=7, Data=11, bus error"},
        {{"alarm"}, "ERROR: RTC Alarm settings not read, bus error"},
        {{"alarm", "on"}, "ERROR: RTC Alarm not enabled, bus error"},
        {{"alarm", "off"}, "ERROR: RTC Alarm not disabled, bus error"},
        {{"alarm", "set", "07:00"}, "ERROR: RTC Alarm Time not updated, bus error"},
        {{"fout", "freq", "1"}, "ERROR: FOUT Frequency Clock not set, register 0x0D not read"},
        {{"drift", "--minutes", "0.1"}, "ERROR: RTC Time not read, bus error"},
    };
    for (const auto& [args, message] : cases) {
        const cli::CliRun run = Run(args);
        EXPECT_EQ(run.status, kExitBoardFailed) << args[0];
        EXPECT_EQ(run.err, std::string(message) + "\n") << args[0];
        EXPECT_EQ(run.out, "") << args[0];
    }
}


// One command per process: the bridge keeps its engine and pins between commands, as the
// FT232H does until it loses power, so "fout on" lasts until "fout off" or an unplug.
TEST_F(BoardCommandsTest, FoutGateSurvivesTheCommandsAfterIt) {
    const auto gate = [this] {
        bool on = false;
        Sim().WithLock([&] {
            const sim::SerialEngine* engine = Sim().BoardEngine();
            on = engine && (engine->HighValue() & engine->HighDirection() & 0x08) != 0;
        });
        return on;
    };
    struct Step {
        std::vector<std::string> command;  // empty: unplug and plug back (power lost)
        bool gateAfter;
    };
    const Step steps[] = {
        {{"fout", "on"}, true},  {{"time"}, true},  {{"alarm"}, true},  {{"regs"}, true},
        {{"power"}, true},       {{"fout", "off"}, false}, {{"time"}, false},
        {{"fout", "on"}, true},  {{}, false},       {{"time"}, false},
    };
    for (const Step& step : steps) {
        if (step.command.empty()) {
            Sim().Unplug();
            Sim().PlugBack();
        } else {
            const cli::CliRun run = Run(step.command);
            ASSERT_EQ(run.status, kExitOk) << step.command[0] << run.err;
        }
        EXPECT_EQ(gate(), step.gateAfter) << (step.command.empty() ? "unplug" : step.command[0]);
    }
}

// Another program holds the bus mutex throughout: each command gives up within the window's 5 s
// for one action, says why in the window's words, and sends nothing to the chips.
TEST_F(BoardCommandsTest, BusHeldByAnotherProgramFailsWithinOneBudget) {
    os.acquireAfterMs = 3600 * 1000;  // the holder never lets go within a wait
    const std::vector<std::vector<std::string>> commands = {
        {"time"}, {"alarm", "on"}, {"fout", "on"}, {"power"},
        {"log", "--seconds", "2", "--out", "held.txt"}, {"drift", "--minutes", "1"}};
    for (const auto& args : commands) {
        os.waitedMs = 0;
        writes.Clear();
        const cli::CliRun run = Run(args);
        EXPECT_EQ(run.status, kExitBoardFailed) << args[0];
        EXPECT_EQ(run.err, "ERROR: Bus busy, board not connected\n") << args[0];
        EXPECT_EQ(run.out, "") << args[0];
        EXPECT_LE(os.waitedMs, 5000u) << args[0];
        for (uint8_t chip : {0x32, 0x40}) {
            EXPECT_TRUE(writes.Writes(chip).empty() && writes.Selects(chip).empty()) << args[0];
        }
    }
}

// The window has the board open: the library lists it without its description, and that is
// not a missing board.
TEST_F(BoardCommandsTest, BoardOpenInAnotherProgramIsSaidSo) {
    Sim().SetInUse(0, true);
    for (const auto& args : std::vector<std::vector<std::string>>{{"time"}, {"power"}}) {
        const cli::CliRun run = Run(args);
        EXPECT_EQ(run.status, kExitBoardFailed) << args[0];
        EXPECT_EQ(run.err, "ERROR: Board in use by another program\n") << args[0];
    }
    Sim().SetInUse(0, false);
    EXPECT_EQ(Run({"time"}).status, kExitOk);
}

// What the chip holds is shown as it is when it is no time, date or alarm: never as a fact.
TEST_F(BoardCommandsTest, InvalidRegisterContentsAreReportedWithTheirBytes) {
    struct Case {
        std::vector<std::pair<const char*, const char*>> registers;  // address, value
        std::vector<std::string> command;
        const char* expected;  // standard error, or standard output when it starts "alarm"/"time"
    };
    const Case cases[] = {
        {{{"02", "FF"}, {"01", "79"}, {"00", "79"}}, {"time"},
         "ERROR: RTC Time invalid: hours 0x3F, minutes 0x79, seconds 0x79\n"},
        {{{"02", "24"}}, {"time"}, "ERROR: RTC Time invalid: hours 0x24, minutes 0x00, seconds 0x00\n"},
        {{{"00", "5A"}}, {"time"}, "ERROR: RTC Time invalid: hours 0x00, minutes 0x00, seconds 0x5A\n"},
        {{{"02", "23"}, {"01", "59"}, {"00", "58"}}, {"time"}, "time: 23:59:58\n"},
        {{{"05", "13"}}, {"date"},
         "ERROR: RTC Date invalid: year 0x00, month 0x13, day 0x01, week 0x40\n"},
        {{{"04", "00"}}, {"date"},
         "ERROR: RTC Date invalid: year 0x00, month 0x01, day 0x00, week 0x40\n"},
        {{{"06", "9A"}}, {"date"},
         "ERROR: RTC Date invalid: year 0x9A, month 0x01, day 0x01, week 0x40\n"},
        {{{"03", "41"}}, {"date"},
         "ERROR: RTC Date invalid: year 0x00, month 0x01, day 0x01, week 0x41\n"},
        {{{"09", "3F"}, {"08", "00"}, {"0A", "01"}}, {"alarm"},
         "ERROR: RTC Alarm settings invalid: hour alarm 0x3F, minute alarm 0x00, "
         "week day alarm 0x01\n"},
        {{{"09", "07"}, {"08", "60"}, {"0A", "01"}}, {"alarm"},
         "ERROR: RTC Alarm settings invalid: hour alarm 0x07, minute alarm 0x60, "
         "week day alarm 0x01\n"},
        {{{"0D", "40"}, {"09", "07"}, {"08", "00"}, {"0A", "32"}}, {"alarm"},
         "ERROR: RTC Alarm settings invalid: hour alarm 0x07, minute alarm 0x00, "
         "day alarm 0x32\n"},
        // Any set of week days is an alarm (the chip matches each), none at all too: it never goes off.
        {{{"09", "07"}, {"08", "00"}, {"0A", "22"}}, {"alarm"},
         "alarm: 07:00\nweekday: Monday,Friday\nenabled: no\ntriggered: no\n"},
        {{{"09", "07"}, {"08", "00"}, {"0A", "00"}}, {"alarm"},
         "alarm: 07:00\nweekday: none\nenabled: no\ntriggered: no\n"},
        // (The chip keeps only the hours register's six value bits.) Bit 7 tells the chip to
        // ignore an alarm field: whatever else it holds is no fault.
        {{{"09", "07"}, {"08", "FF"}, {"0A", "01"}}, {"alarm"},
         "alarm: 07:--\nweekday: Sunday\nenabled: no\ntriggered: no\n"},
    };
    for (const Case& k : cases) {
        Sim().WithLock([&] { static_cast<sim::RtcChip&>(chips->Rtc()).PowerOnReset(); });
        std::string label;
        for (const auto& [address, value] : k.registers) {
            ASSERT_EQ(Run({"reg", "write", address, value}).status, kExitOk) << address;
            label += std::string(address) + "=" + value + " ";
        }
        const cli::CliRun run = Run(k.command);
        const std::string expected = k.expected;
        if (expected.rfind("ERROR", 0) == 0) {
            EXPECT_EQ(run.status, kExitBoardFailed) << label;
            EXPECT_EQ(run.err, expected) << label;
            EXPECT_EQ(run.out, "") << label;
        } else {
            EXPECT_EQ(run.status, kExitOk) << label << run.err;
            EXPECT_EQ(run.out, expected) << label;
        }
    }
}

}  // namespace
}  // namespace kalendo::testing
