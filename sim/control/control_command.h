// The commands that steer the simulated board while a program runs, one per line. The same
// words are used in the control file another process writes (kalendo-sim-ctl) and by
// KalendoSim_Execute:
//   unplug | plugback
//   ack <address> on|off         the chip at the 7-bit address stops / resumes answering
//   supply <volts> | supply auto  force the RTC supply rail / back to the power monitor's output
//   battery <volts>              battery voltage
//   temperature <celsius>        board temperature
//   ppm <ppm>                    the RTC crystal's constant frequency error (+: runs fast)
//   tempco <ppm per degree^2>    its turnover curve: that much slower per degree squared from 25
//   event                        pulse the RTC's event input (TQ5200 time stamp)
//   clock virtual | clock real    switch the board's clock
//   advance <milliseconds>       move the virtual clock on
//   fail-open <status> | fail-write <status>   FT_Open / FT_Write return status (0: normal)
//   echo on|off                  the engine answers invalid opcodes, or stays silent
//   short-read <n>|always|off    the nth FT_Read from now (or every one) returns FT_OK with half
//   short-write <n>|always|off   the nth FT_Write from now (or every one) writes only half
//   in-use <position> on|off     the listed device at that position is open in another process
//   answer-delay <milliseconds>  the board's answers reach the host this much later
//   pin-ns <nanoseconds>         wire time of each pin-state (non-shift) engine command
#pragma once

#include <cstdint>
#include <string>

namespace kalendo::sim {

// The range of the pin-command time (pin-ns, KALENDO_SIM_PIN_NS).
constexpr uint32_t kMinPinNs = 10;
constexpr uint32_t kMaxPinNs = 100000;
// The crystal error's range (ppm, KALENDO_SIM_PPM) and its curvature's (KALENDO_SIM_TEMPCO):
// wide enough for a broken crystal, narrow enough that the clock always runs forwards.
constexpr double kMaxCrystalPpm = 100000.0;
constexpr double kMaxCrystalTempco = 1.0;

struct ControlCommand {
    enum class Kind {
        Unplug,
        PlugBack,
        AddressAck,
        Supply,
        SupplyAuto,
        Battery,
        Temperature,
        CrystalPpm,
        CrystalTempco,
        Event,
        ClockVirtual,
        ClockReal,
        Advance,
        FailOpen,
        FailWrite,
        Echo,
        ShortRead,
        ShortWrite,
        InUse,
        AnswerDelay,
        PinNs,
    };
    Kind kind = Kind::Unplug;
    uint32_t value = 0;  // address, milliseconds, status or list position
    int64_t nth = 0;     // short transfers: the nth call from now, -1 every call, 0 none
    double number = 0;   // volts or degrees
    bool on = false;
};

// False with a message for a line that is not a command; blank lines and lines starting with
// '#' are not commands either (false, empty message).
bool ParseControlCommand(const std::string& line, ControlCommand* command, std::string* error);

}  // namespace kalendo::sim
