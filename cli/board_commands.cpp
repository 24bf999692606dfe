// The commands that read and set the RTC and the board's outputs: boards, time, date, regs,
// reg, alarm, fout and supply. Each connects, checks every read and write, and says in the
// window's words what did not happen.
#include <cstdio>
#include <initializer_list>
#include <string>
#include <utility>

#include "bridge/board_discovery.h"
#include "bridge/fout_gate.h"
#include "bridge/register_access.h"
#include "bridge/simulated_board.h"
#include "cli/board_session.h"
#include "cli/command_context.h"
#include "cli/time_write_record.h"
#include "marks/board_identity.h"
#include "power/power_monitor_operations.h"
#include "rtc/alarm_operations.h"
#include "rtc/bcd_codec.h"
#include "rtc/fout_operations.h"
#include "rtc/guarded_time_write.h"
#include "rtc/register_tables.h"
#include "rtc/rtc_registers.h"
#include "rtc/texts/register_input.h"
#include "rtc/weekday.h"

namespace kalendo::cli {

namespace {

constexpr char kTimeNotRead[] = "ERROR: RTC Time not read, bus error";
constexpr char kDateNotRead[] = "ERROR: RTC Date not read, bus error";
constexpr char kAlarmNotRead[] = "ERROR: RTC Alarm settings not read, bus error";

std::string Hex2(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value & 0xFF);
    return text;
}

std::string TwoDigits(int a, int b, int c = -1) {
    char text[40];
    if (c < 0) {
        std::snprintf(text, sizeof text, "%02d:%02d", a, b);
    } else {
        std::snprintf(text, sizeof text, "%02d:%02d:%02d", a, b, c);
    }
    return text;
}

// A BCD field as the chip should hold it: two decimal digits, within the field's range. The
// chip keeps any byte it is given, so a register can hold what no clock reads as a time.
bool ValidBcd(uint8_t v, int low, int high) {
    return (v & 0x0F) <= 9 && (v >> 4) <= 9 && FromBcd(v) >= low && FromBcd(v) <= high;
}

// The registers as they are, for a script or an engineer to see what the chip holds.
std::string RawBytes(std::initializer_list<std::pair<const char*, uint8_t>> fields) {
    std::string text;
    for (const auto& [name, value] : fields) {
        text += (text.empty() ? "" : ", ") + std::string(name) + " " + Hex2(value);
    }
    return text;
}

// The days a week-day alarm names, one bit each: "Monday,Friday", or "none".
std::string WeekdayNames(uint8_t bits) {
    std::string names;
    for (int d = 0; d < 7; ++d) {
        if (bits & WeekdayBit(d)) names += (names.empty() ? "" : ",") + std::string(WeekdayName(WeekdayBit(d)));
    }
    return names.empty() ? "none" : names;
}

const RegisterInfo* TableOf(RtcModelChoice model) {
    return RegisterTableAt(model == RtcModelChoice::Tq5200 ? 1 : 0);
}

bool OpenBoard(CommandContext& c, BoardSession& board) {
    std::string error;
    if (board.Open(&error)) return true;
    c.Failed(error);
    return false;
}

// The one board's success text as a fact, so that a script can log what was done.
int Done(CommandContext& c, const char* text) {
    c.out->Text("result", text);
    return kExitOk;
}

int ShowTime(CommandContext& c, BoardSession& board) {
    uint8_t s = 0, m = 0, h = 0;
    if (!board.ReadRtc(kRegSeconds, &s) || !board.ReadRtc(kRegMinutes, &m) ||
        !board.ReadRtc(kRegHours, &h)) {
        return c.Failed(kTimeNotRead);
    }
    if (!ValidBcd(h, 0, 23) || !ValidBcd(m, 0, 59) || !ValidBcd(s, 0, 59)) {
        return c.Failed("ERROR: RTC Time invalid: " +
                        RawBytes({{"hours", h}, {"minutes", m}, {"seconds", s}}));
    }
    c.out->Text("time", TwoDigits(FromBcd(h), FromBcd(m), FromBcd(s)));
    return kExitOk;
}

int ShowDate(CommandContext& c, BoardSession& board) {
    uint8_t d = 0, m = 0, y = 0, w = 0;
    if (!board.ReadRtc(kRegDay, &d) || !board.ReadRtc(kRegMonth, &m) ||
        !board.ReadRtc(kRegYear, &y) || !board.ReadRtc(kRegWeek, &w)) {
        return c.Failed(kDateNotRead);
    }
    if (!ValidBcd(y, 0, 99) || !ValidBcd(m, 1, 12) || !ValidBcd(d, 1, 31) ||
        std::string(WeekdayName(w)) == "Error") {
        return c.Failed("ERROR: RTC Date invalid: " +
                        RawBytes({{"year", y}, {"month", m}, {"day", d}, {"week", w}}));
    }
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", YearFromRegister(y), FromBcd(m), FromBcd(d));
    c.out->Text("date", text);
    c.out->Text("weekday", WeekdayName(w));
    return kExitOk;
}

}  // namespace

int RunBoards(CommandContext& c, const CommandArguments& args) {
    if (!args.empty()) return c.UsageError("takes no arguments");
    BoardSession session;
    std::string error;
    // Opening finds the boards; its complaint about the first board is no failure of a list.
    if (!session.Open(&error) && (error == kNoLibraryMessage || error == kBusBusyMessage)) {
        return c.Failed(error);
    }
    const BridgeState& bridge = Bridge();
    c.out->Integer("boards", bridge.boardCount);
    // The project's stand-in library answers like a board: say so, lest its values pass for
    // a real chip's.
    c.out->Flag("simulated", LoadedLibraryIsSimulatedBoard());
    for (uint32_t b = 0; b < bridge.boardCount && b < kMaxBoards; ++b) {
        const BoardEntry* entry = bridge.boards[b];
        if (!entry) continue;
        std::string chips;
        FactOutput::Row row;
        row.Integer("board", b).Integer("channel", entry->channelIndex).Text("description",
                                                                             entry->description);
        // Each chip answers or not at its address: the power monitor by its identification,
        // the RTC by its seconds register.
        const DeviceHandle first = FirstDeviceOfBoard(b);
        const DeviceHandle monitor = FindDeviceByName(first, kPowerMonitorName);
        const DeviceHandle rtc = FindDeviceByName(first, kRtcDeviceName);
        bool monitorAnswers = false, rtcAnswers = false;
        if (monitor && rtc) {
            DevicePort monitorPort(monitor);
            DevicePort rtcPort(rtc);
            uint8_t seconds = 0;
            monitorAnswers = PowerMonitorIdentifies(monitorPort);
            rtcAnswers = rtcPort.Read8(kRegSeconds, &seconds);
        }
        row.Flag("ISL28023", monitorAnswers).Flag("RTC", rtcAnswers);
        if (monitorAnswers) chips += " ISL28023@0x40";
        if (rtcAnswers) chips += " RTC@0x32";
        c.out->ListRow("board_list", row,
                       "board " + std::to_string(b) + ": " + entry->description + " channel " +
                           std::to_string(entry->channelIndex) + ", answering:" +
                           (chips.empty() ? std::string(" none") : chips));
    }
    return kExitOk;
}

int RunTime(CommandContext& c, const CommandArguments& args) {
    int h = 0, m = 0, s = 0;
    const bool set = args.size() == 2 && args[0] == "set";
    const bool sync = args.size() == 1 && args[0] == "sync";
    if (!args.empty() && !set && !sync) return c.UsageError("unknown form");
    if (set && !ParseClockTime(args[1], &h, &m, &s)) {
        return c.UsageError("\"" + args[1] + "\" is no time HH:MM:SS (00:00:00 to 23:59:59)");
    }
    BoardSession board;
    if (!OpenBoard(c, board)) return kExitBoardFailed;
    LocalTime now{};
    if (sync) {
        // Taken once connected, so the time written is not older by the connecting.
        now = c.localNow();
        if (now.year < 2000 || now.year > 2099) {
            return c.Failed("ERROR: Time not set, the RTC holds only the years 2000 to 2099");
        }
    }
    if (set) {
        const FieldWrite writes[] = {
            {kRegSeconds, ToBcd(s)}, {kRegMinutes, ToBcd(m)}, {kRegHours, ToBcd(h)}};
        const bool written = GuardedTimeWrite(board.Rtc(), writes);
        RecordTimeWrite(c, "time set " + args[1]);  // part of it may have reached the chip
        if (!written) return c.Failed("ERROR: RTC Time not updated, bus error");
        c.out->Text("time", TwoDigits(h, m, s));
        return Done(c, "RTC Time Updated");
    }
    if (sync) {
        const FieldWrite writes[] = {
            {kRegSeconds, ToBcd(now.second)},  {kRegMinutes, ToBcd(now.minute)},
            {kRegHours, ToBcd(now.hour)},      {kRegDay, ToBcd(now.day)},
            {kRegMonth, ToBcd(now.month)},     {kRegYear, YearToRegister(now.year)},
            {kRegWeek, WeekdayBit(DayOfWeek(now.year, now.month, now.day))},
        };
        const bool written = GuardedTimeWrite(board.Rtc(), writes);
        RecordTimeWrite(c, "time sync");
        if (!written) return c.Failed("ERROR: RTC time not synchronized, bus error");
        c.out->Text("time", TwoDigits(now.hour, now.minute, now.second));
        char date[16];
        std::snprintf(date, sizeof date, "%04d-%02d-%02d", now.year, now.month, now.day);
        c.out->Text("date", date);
        return Done(c, "RTC time Synchronized to system time");
    }
    return ShowTime(c, board);
}

int RunDate(CommandContext& c, const CommandArguments& args) {
    int y = 0, m = 0, d = 0;
    const bool set = args.size() == 2 && args[0] == "set";
    if (!args.empty() && !set) return c.UsageError("unknown form");
    if (set && !ParseCalendarDate(args[1], &y, &m, &d)) {
        return c.UsageError("\"" + args[1] + "\" is no date YYYY-MM-DD from 2000-01-01 to 2099-12-31");
    }
    BoardSession board;
    if (!OpenBoard(c, board)) return kExitBoardFailed;
    if (!set) return ShowDate(c, board);
    const FieldWrite writes[] = {
        {kRegDay, ToBcd(d)},
        {kRegMonth, ToBcd(m)},
        {kRegYear, YearToRegister(y)},
        {kRegWeek, WeekdayBit(DayOfWeek(y, m, d))},
    };
    const bool written = GuardedTimeWrite(board.Rtc(), writes);
    RecordTimeWrite(c, "date set " + args[1]);
    if (!written) return c.Failed("ERROR: RTC Date not updated, bus error");
    c.out->Text("date", args[1]);
    c.out->Text("weekday", WeekdayName(WeekdayBit(DayOfWeek(y, m, d))));
    return Done(c, "RTC Date Updated");
}

int RunRegs(CommandContext& c, const CommandArguments& args) {
    if (!args.empty()) return c.UsageError("takes no arguments");
    BoardSession board;
    if (!OpenBoard(c, board)) return kExitBoardFailed;
    const RegisterInfo* table = TableOf(c.model);
    for (int i = 0; i < kRegisterTableRows; ++i) {
        const RegisterInfo& row = table[i];
        if (!row.readable) continue;
        uint8_t value = 0;
        if (!board.ReadRtc(static_cast<uint8_t>(row.address), &value)) {
            return c.Failed("ERROR: RTC Register values not read, bus error");
        }
        FactOutput::Row fields;
        fields.Text("address", Hex2(row.address))
            .Text("name", row.name)
            .Text("value", Hex2(value))
            .Text("access", AccessText(row));
        c.out->ListRow("registers", fields,
                       Hex2(row.address) + " " + row.name + " " + Hex2(value) + " " +
                           AccessText(row));
    }
    return kExitOk;
}

int RunReg(CommandContext& c, const CommandArguments& args) {
    const bool read = args.size() == 2 && args[0] == "read";
    const bool write = args.size() == 3 && args[0] == "write";
    if (!read && !write) return c.UsageError("unknown form");
    uint8_t address = 0, value = 0;
    if (!ParseRegisterByte(args[1], &address) || address >= kRegisterTableRows) {
        return c.UsageError("Data Invalid! \"" + args[1] + "\" is no register address 00-1F");
    }
    const RegisterInfo& row = TableOf(c.model)[address];
    if (!row.readable) {
        return c.UsageError("register " + Hex2(address) + " is not offered on this model");
    }
    if (write && !ParseRegisterByte(args[2], &value)) {
        return c.UsageError("Data Invalid! \"" + args[2] + "\" is no hexadecimal byte 00-FF");
    }
    BoardSession board;
    if (!OpenBoard(c, board)) return kExitBoardFailed;
    if (write) {
        const std::string model = c.model == RtcModelChoice::Tq5200 ? "TQ5200" : "TQ5100";
        // Whether the write guard was set before: releasing it restarts the second.
        int before = -1;
        uint8_t old = 0;
        if (marks::IsWriteGuardRegister(model, address) && board.ReadRtc(address, &old)) {
            before = old;
        }
        const bool written = board.WriteRtc(address, value);
        if (marks::WritesRtcTime(model, address, value, before)) {
            RecordTimeWrite(c, "reg write " + Hex2(address) + " " + Hex2(value));
        }
        if (!written) {
            char text[96];
            std::snprintf(text, sizeof text,
                          "ERROR: Single Command not sent: Addr=%X, Data=%X, bus error", address,
                          value);
            return c.Failed(text);
        }
    } else if (!board.ReadRtc(address, &value)) {
        return c.Failed("ERROR: RTC Register values not read, bus error");
    }
    c.out->Text("address", Hex2(address));
    c.out->Text("name", row.name);
    c.out->Text("value", Hex2(value));
    return kExitOk;
}

int RunAlarm(CommandContext& c, const CommandArguments& args) {
    BoardSession board;
    if (args.empty()) {
        if (!OpenBoard(c, board)) return kExitBoardFailed;
        uint8_t minute = 0, hour = 0, day = 0, ext = 0, control = 0, flag = 0;
        if (!board.ReadRtc(kRegMinuteAlarm, &minute) || !board.ReadRtc(kRegHourAlarm, &hour) ||
            !board.ReadRtc(kRegWeekDayAlarm, &day) || !board.ReadRtc(kRegExtension, &ext) ||
            !board.ReadRtc(kRegControl, &control) || !board.ReadRtc(kRegFlag, &flag)) {
            return c.Failed(kAlarmNotRead);
        }
        const bool dayAlarm = (ext & EXT_DAY_ALARM) != 0;
        const uint8_t dayValue = static_cast<uint8_t>(day & ALARM_VALUE_MASK);
        // Bit 7 set tells the chip to ignore the field, so then its value is no fault. Any set of
        // week-day bits is valid (the chip matches any of them).
        const auto fieldValid = [](uint8_t v, int low, int high) {
            return (v & ~ALARM_VALUE_MASK) || ValidBcd(v, low, high);
        };
        if (!fieldValid(hour, 0, 23) || !fieldValid(minute, 0, 59) ||
            (dayAlarm && !fieldValid(day, 1, 31))) {
            return c.Failed("ERROR: RTC Alarm settings invalid: " +
                            RawBytes({{"hour alarm", hour},
                                      {"minute alarm", minute},
                                      {dayAlarm ? "day alarm" : "week day alarm", day}}));
        }
        // An ignored field matches every value: "--", as the chip's data sheet draws it.
        const auto field = [](uint8_t v) {
            return (v & ~ALARM_VALUE_MASK) ? std::string("--") : TwoDigits(FromAlarmBcd(v), 0).substr(0, 2);
        };
        c.out->Text("alarm", field(hour) + ":" + field(minute));
        if (dayAlarm) {
            c.out->Integer("day", FromAlarmBcd(day));
        } else {
            c.out->Text("weekday", WeekdayNames(dayValue));
        }
        c.out->Flag("enabled", (control & CTRL_ALARM_INT) != 0);
        c.out->Flag("triggered", (flag & FLAG_ALARM) != 0);
        return kExitOk;
    }
    if (args.size() == 1 && (args[0] == "on" || args[0] == "off")) {
        if (!OpenBoard(c, board)) return kExitBoardFailed;
        if (args[0] == "off") {
            if (!DisarmAlarm(board.Rtc())) return c.Failed("ERROR: RTC Alarm not disabled, bus error");
            return Done(c, "RTC Alarm disabled");
        }
        if (!ArmAlarm(board.Rtc())) return c.Failed("ERROR: RTC Alarm not enabled, bus error");
        return Done(c, "RTC Alarm enabled");
    }
    if (args.size() != 2 && args.size() != 4) return c.UsageError("unknown form");
    if (args[0] != "set") return c.UsageError("unknown form");
    int hour = 0, minute = 0;
    if (!ParseAlarmTime(args[1], &hour, &minute)) {
        return c.UsageError("\"" + args[1] + "\" is no alarm time HH:MM (00:00 to 23:59)");
    }
    long day = 0;
    int weekday = -1;
    if (args.size() == 4) {
        if (args[2] == "--day") {
            if (!ParseWholeNumber(args[3], 1, 31, &day)) {
                return c.UsageError("--day \"" + args[3] + "\" is no day of month 1-31");
            }
        } else if (args[2] == "--weekday") {
            if (!ParseWeekday(args[3], &weekday)) {
                return c.UsageError("--weekday \"" + args[3] + "\" is no week day (Sunday-Saturday)");
            }
        } else {
            return c.UsageError("\"" + args[2] + "\": the options are --day and --weekday");
        }
    }
    if (!OpenBoard(c, board)) return kExitBoardFailed;
    // Setting disarms the chip first, so no half-set alarm can go off.
    if (!DisarmAlarm(board.Rtc()) || !WriteAlarmTime(board.Rtc(), hour, minute)) {
        return c.Failed("ERROR: RTC Alarm Time not updated, bus error");
    }
    c.out->Text("alarm", TwoDigits(hour, minute));
    if (day > 0) {
        if (!WriteAlarmDay(board.Rtc(), static_cast<int>(day))) {
            return c.Failed("ERROR: RTC Alarm Date not updated, bus error");
        }
        c.out->Integer("day", day);
    } else if (weekday >= 0) {
        if (!WriteAlarmWeekday(board.Rtc(), WeekdayBit(weekday))) {
            return c.Failed("ERROR: RTC Alarm Date not updated, bus error");
        }
        c.out->Text("weekday", WeekdayName(WeekdayBit(weekday)));
    }
    c.out->Flag("enabled", false);
    return Done(c, day > 0 || weekday >= 0 ? "RTC Alarm Date Updated" : "RTC Alarm Time Updated");
}

int RunFout(CommandContext& c, const CommandArguments& args) {
    BoardSession board;
    if (args.size() == 1 && (args[0] == "on" || args[0] == "off")) {
        const bool on = args[0] == "on";
        if (!OpenBoard(c, board)) return kExitBoardFailed;
        if (!SetFoutGate(on)) {
            return c.Failed(on ? "ERROR: FOUT not enabled" : "ERROR: FOUT not disabled");
        }
        c.out->Flag("fout", on);
        return Done(c, on ? "FOUT Enabled" : "FOUT Disabled");
    }
    if (args.size() != 2 || args[0] != "freq") return c.UsageError("unknown form");
    uint8_t code = 0;
    if (args[1] == "32768") {
        code = kFout32768Hz;
    } else if (args[1] == "1024") {
        code = kFout1024Hz;
    } else if (args[1] == "1") {
        code = kFout1Hz;
    } else {
        return c.UsageError("\"" + args[1] + "\": the FOUT frequencies are 32768, 1024 and 1");
    }
    if (!OpenBoard(c, board)) return kExitBoardFailed;
    switch (SetFoutFrequency(board.Rtc(), code)) {
        case FoutFrequencyResult::NotRead:
            return c.Failed("ERROR: FOUT Frequency Clock not set, register 0x0D not read");
        case FoutFrequencyResult::NotWritten:
            return c.Failed("ERROR: FOUT Frequency Clock not set");
        case FoutFrequencyResult::Set:
            break;
    }
    c.out->Text("fout_frequency", kFoutFrequencyNames[code]);
    return Done(c, "FOUT Frequency updated");
}

int RunSupply(CommandContext& c, const CommandArguments& args) {
    int tenths = 0;
    if (args.size() != 1) return c.UsageError("needs the volts");
    if (!ParseSupplyTenths(args[0], &tenths)) {
        return c.UsageError("\"" + args[0] + "\" is no supply step: 0.1 to 4.0 V in steps of 0.1");
    }
    BoardSession board;
    if (!OpenBoard(c, board)) return kExitBoardFailed;
    // Another chip answering at the monitor's address would take the writes: the
    // identification tells.
    if (!ApplySupplyVoltage(board.PowerMonitor(), tenths) || !board.PowerMonitorAnswers()) {
        return c.Failed("ERROR: Voltage not changed");
    }
    char text[48];
    std::snprintf(text, sizeof text, "Voltage changed to %02.1f", tenths / 10.0);
    c.out->Number("supply_v", tenths / 10.0, 1);
    return Done(c, text);
}

}  // namespace kalendo::cli
