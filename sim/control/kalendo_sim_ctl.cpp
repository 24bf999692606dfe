// kalendo-sim-ctl: steers the simulated board of a running program from another process.
//   kalendo-sim-ctl unplug
//   kalendo-sim-ctl ack 0x32 off
//   kalendo-sim-ctl --file PATH supply 1.2
// The command is checked here, then appended to the control file that the stand-in library
// reads at its next call (at most 100 ms later while the program talks to the board).
#include <cstdio>
#include <cstring>
#include <string>

#include "sim/control/control_command.h"
#include "sim/control/control_file.h"

namespace {

void Usage() {
    std::fprintf(stderr,
                 "usage: kalendo-sim-ctl [--file PATH] COMMAND\n"
                 "commands:\n"
                 "  unplug | plugback\n"
                 "  ack <7-bit address> on|off\n"
                 "  supply <volts> | supply auto\n"
                 "  battery <volts>\n"
                 "  temperature <celsius>\n"
                 "  ppm <crystal error> | tempco <ppm per degree squared>\n"
                 "  event\n"
                 "  clock virtual | clock real\n"
                 "  advance <milliseconds>\n"
                 "  fail-open <status> | fail-write <status>   (0: no fault)\n"
                 "  echo on|off\n"
                 "  short-read <n>|always|off | short-write <n>|always|off\n"
                 "  in-use <list position> on|off\n"
                 "  answer-delay <milliseconds>\n"
                 "  pin-ns <nanoseconds>\n"
                 "The control file is KALENDO_SIM_CONTROL, or %s by default.\n",
                 kalendo::sim::DefaultControlFile().c_str());
}

}  // namespace

int main(int argc, char** argv) {
    std::string file = kalendo::sim::ControlFileFromEnvironment();
    int first = 1;
    if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        Usage();
        return 0;
    }
    if (argc > 2 && std::strcmp(argv[1], "--file") == 0) {
        file = argv[2];
        first = 3;
    }
    std::string line;
    for (int i = first; i < argc; ++i) {
        if (!line.empty()) line += ' ';
        line += argv[i];
    }
    kalendo::sim::ControlCommand command;
    std::string error;
    if (!kalendo::sim::ParseControlCommand(line, &command, &error)) {
        std::fprintf(stderr, "kalendo-sim-ctl: %s\n", error.empty() ? "no command" : error.c_str());
        Usage();
        return 2;
    }
    if (!kalendo::sim::AppendControlCommand(file, line, &error)) {
        std::fprintf(stderr, "kalendo-sim-ctl: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
