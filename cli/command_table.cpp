#include "cli/command_table.h"

namespace kalendo::cli {

namespace {

constexpr char kProgram[] = "kalendo-cli";

// clang-format off
const std::vector<CommandSpec> kCommands = {
    {"boards", "boards",
     "The boards found, each with its channel and the chips that answered.", RunBoards},
    {"time", "time\ntime set HH:MM:SS\ntime sync",
     "Reads the RTC's time, sets it (24-hour), or sets time and date to the PC's clock.\n"
     "Writes are made with the write guard set around them, as the Time and Date page does.",
     RunTime},
    {"date", "date\ndate set YYYY-MM-DD",
     "Reads the RTC's date and week day, or sets them (2000-2099).", RunDate},
    {"regs", "regs",
     "Every readable register of the model with its name, value and access.", RunRegs},
    {"reg", "reg read ADDR\nreg write ADDR VALUE",
     "Reads or writes one RTC register. ADDR and VALUE are hexadecimal bytes (\"0F\", \"0x1a\"),\n"
     "as on the Registers page.", RunReg},
    {"alarm", "alarm\nalarm set HH:MM [--day D | --weekday W]\nalarm on|off",
     "Reads the alarm, sets its time (and day of month, or week day), or arms and disarms it.\n"
     "Setting the alarm disarms it, as the Alarm page does.", RunAlarm},
    {"fout", "fout on|off\nfout freq 32768|1024|1",
     "Switches the FOUT output on or off, or chooses its frequency in hertz.", RunFout},
    {"supply", "supply VOLTS",
     "Sets the RTC supply, 0.1 to 4.0 V in steps of 0.1 V.", RunSupply},
    {"power", "power [--average N]",
     "One measurement of the supply and battery voltages and currents and the board\n"
     "temperature, averaged over N readings (1-25, default 10).", RunPower},
    {"log", "log --seconds N [--out FILE] [--average N]",
     "Logs the power measurement once a second for N seconds (1-86400) into a data log as the\n"
     "window writes it: datalog_MMDDYYYY_hhmmss.txt in the current folder, or FILE, which must\n"
     "not exist yet. Each record averages N readings (1-25, default 5).", RunLog},
    {"drift",
     "drift --minutes N [--ntp SERVER[:PORT] [--ntp-fallback] | --reference-error-ms E] "
     "[--csv FILE]",
     "Measures the RTC's frequency offset against the PC's system clock over N minutes (a decimal, at\n"
     "most a week): the offset in ppm and the range the true offset lies in, with its two parts (the\n"
     "run's own, and the reference's: the system clock's error at each end of the span, measured\n"
     "against the NTP server SERVER at each end (its offset corrects that end, its strict bound is\n"
     "the error; a server that gives none fails the run unless --ntp-fallback takes the assumed error\n"
     "instead), else E ms when given, else the kernel's maximum error where it keeps the clock\n"
     "synchronised (Linux) and 10 ms assumed where not), the counter's rate against the system clock,\n"
     "any step\n"
     "of the system clock (only the polls after it are used), the RTC's offset from the PC's time of\n"
     "day, the gain or loss per month, the board temperature and whether the result lies within the\n"
     "model's frequency tolerance and monthly deviation (yes, no, or undecided while the range\n"
     "straddles the limit). Only reads the chip. --csv writes one row per seconds transition as it is\n"
     "seen. A failed read is skipped and counted; the run fails when the board is gone or the RTC is\n"
     "silent for 5 s. Ctrl-C ends it with the result so far.",
     RunDrift},
    {"check",
     "check [--minutes N] [--ntp SERVER[:PORT] [--ntp-fallback] | --reference-error-ms E] "
     "[--lowest-supply V] [--report FILE.html] [--csv FOLDER]",
     "Checks the RTC against the model file's figures, one row each with the data sheet's figure, the\n"
     "measured value with its uncertainty and a verdict (pass, fail, or undecided while the\n"
     "uncertainty straddles the limit): frequency tolerance and monthly deviation (N minutes, default\n"
     "10, of seconds polled against the system clock, its error at each end of the span measured as\n"
     "for drift: an NTP server, E ms, or the kernel's maximum error, else 10 ms), the VDD current at\n"
     "3.0 V, the lowest supply the RTC answers at, the battery switch-over falling and rising, the\n"
     "battery current, and timekeeping through the low supply and the battery. The supply is stepped\n"
     "in 0.1 V steps from 3.0 V down to the lowest voltage the model file names (VCLK or supply\n"
     "minimum), lower only to V from --lowest-supply, and back. The supply is put back as found at\n"
     "the end, on failure and on Ctrl-C, and board_state says so. --report writes an HTML report with\n"
     "plots, --csv the transitions and sweep steps as they come. Exit status 0 every row passed, 3 a\n"
     "row failed or stayed undecided, 1 the board or the bus failed (the rows measured before are\n"
     "still printed).",
     RunCheck},
    {"mark",
     "mark [--ntp SERVER[:PORT] [--ntp-fallback] | --reference-error-ms E] [--seconds N] [--seal]",
     "Takes a mark of the RTC and keeps it in the mark store: N seconds (default 60, 10-600) of\n"
     "its seconds transitions bracketed on the system clock, the sharpest kept, with the RTC's full\n"
     "date and time at it and how far the system clock could be from true time then: measured against\n"
     "the NTP server SERVER (a host name or address, :PORT optional, IPv6 in brackets) as its offset\n"
     "and a strict bound under NTP's assumptions, else E ms when given, else the kernel's own maximum\n"
     "error where it keeps the clock synchronised (Linux), else 10 ms assumed. A server that gives\n"
     "no reference fails the mark, unless\n"
     "--ntp-fallback takes the assumed error instead (and says so). --seal writes a random byte to\n"
     "RAM register 0x07 (the user's register: never without asking), which since checks.\n"
     "The store: %APPDATA%\\Kalendo\\marks.txt (Linux ~/.local/share/kalendo/marks.txt), or the\n"
     "file KALENDO_MARK_STORE names.",
     RunMark},
    {"marks", "marks",
     "Lists this board's marks (bridge serial and description, and the model) and the times\n"
     "the program wrote its RTC's time.",
     RunMarks},
    {"since",
     "since [--ntp SERVER[:PORT] [--ntp-fallback] | --reference-error-ms E] [--seconds N] [--seal]",
     "Takes a new mark (as mark does) and gives, for each earlier mark of this board, the RTC's\n"
     "mean rate since in ppm with its strict bound (both brackets and both reference errors over\n"
     "the span), the gain or loss per 30 days, and a verdict against the model's frequency\n"
     "tolerance; or why that pair says nothing (the time written between the marks, the RTC set\n"
     "or stopped, another board or model, a broken seal). With three marks or more since the last\n"
     "break, the aging in ppm a year with its bound. Exit status 0 when every usable pair passed,\n"
     "3 when one failed or stayed undecided or none was usable, 1 for a board, bus, reference or\n"
     "store failure.",
     RunSince},
};
// clang-format on

std::string Prefixed(const char* synopsis, const std::string& prefix) {
    std::string out;
    std::string line;
    for (const char* p = synopsis;; ++p) {
        if (*p == '\n' || *p == '\0') {
            out += prefix + kProgram + " [--json] [--model TQ5100|TQ5200] " + line + "\n";
            line.clear();
            if (*p == '\0') break;
        } else {
            line += *p;
        }
    }
    return out;
}

}  // namespace

const std::vector<CommandSpec>& Commands() {
    return kCommands;
}

const CommandSpec* FindCommand(const std::string& name) {
    for (const CommandSpec& c : kCommands) {
        if (name == c.name) return &c;
    }
    return nullptr;
}

std::string UsageText() {
    std::string text = "usage:\n";
    for (const CommandSpec& c : kCommands) text += Prefixed(c.synopsis, "  ");
    text += "\n"
            "--json prints the facts as one JSON object; --model chooses the RTC (default TQ5100).\n"
            "Exit status: 0 done, 1 the board or the bus failed, 2 usage error (check and since: 3 a\n"
            "row did not pass).\n"
            "kalendo-cli COMMAND --help describes one command; --version prints the version.\n";
    return text;
}

std::string CommandHelp(const CommandSpec& command) {
    return "usage:\n" + Prefixed(command.synopsis, "  ") + "\n" + command.help + "\n";
}

CliRun RunCli(const std::vector<std::string>& arguments, CommandContext context) {
    CliRun run;
    CommandLine line;
    std::string error;
    if (!ParseCommandLine(arguments, &line, &error)) {
        run.status = kExitUsage;
        run.err = std::string(kProgram) + ": " + error + "\n" + UsageText();
        return run;
    }
    const CommandSpec* command = line.words.empty() ? nullptr : FindCommand(line.words[0]);
    if (line.version) {
        run.out = std::string(kProgram) + " " + KALENDO_VERSION + "\n";
        return run;
    }
    if (line.help) {
        run.out = command ? CommandHelp(*command) : UsageText();
        return run;
    }
    if (!command) {
        run.status = kExitUsage;
        run.err = std::string(kProgram) + ": " +
                  (line.words.empty() ? std::string("no command")
                                      : "unknown command \"" + line.words[0] + "\"") +
                  "\n" + UsageText();
        return run;
    }
    FactOutput out(line.json);
    context.model = line.model;
    context.out = &out;
    const CommandArguments args(line.words.begin() + 1, line.words.end());
    run.status = command->run(context, args);
    if (run.status == kExitUsage) {
        run.err = std::string(kProgram) + " " + command->name + ": " + context.usageError + "\n" +
                  "usage:\n" + Prefixed(command->synopsis, "  ");
        return run;
    }
    run.err = context.errors;
    // A failed command prints no facts: a script must not take half an answer for a whole one.
    if (run.status == kExitOk || run.status == kExitCheckFailed || context.factsOnFailure) {
        run.out = out.Render();
    }
    return run;
}

}  // namespace kalendo::cli
