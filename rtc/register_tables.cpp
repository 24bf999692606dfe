#include "rtc/register_tables.h"

namespace kalendo {

namespace {

constexpr RegisterInfo ReadWrite(uint32_t address, const char* name) {
    return {address, name, 0, 0, 1};
}

constexpr RegisterInfo ReadOnly(uint32_t address, const char* name) {
    return {address, name, 0, 1, 1};
}

// Listed but never read: reading these addresses on the TQ5100 has no defined result.
constexpr RegisterInfo Reserved(uint32_t address) {
    return {address, "Reserved", 0, 1, 0};
}

constexpr RegisterInfo Placeholder(uint32_t address) {
    return {address, "n/a", 0, 0, 0};
}

}  // namespace

const RegisterInfo Tq5100RegisterTable[kRegisterTableRows] = {
    ReadWrite(0x00, "Seconds"),
    ReadWrite(0x01, "Minutes"),
    ReadWrite(0x02, "Hours"),
    ReadWrite(0x03, "Week"),
    ReadWrite(0x04, "Day"),
    ReadWrite(0x05, "Month"),
    ReadWrite(0x06, "Year"),
    ReadWrite(0x07, "RAM"),
    ReadWrite(0x08, "Minute Alarm"),
    ReadWrite(0x09, "Hour Alarm"),
    ReadWrite(0x0A, "Week/Day Alarm"),
    ReadWrite(0x0B, "Timer Counter 0"),
    ReadWrite(0x0C, "Timer Counter 1"),
    ReadWrite(0x0D, "Extension Register"),
    ReadWrite(0x0E, "Flag Register"),
    ReadWrite(0x0F, "Control Register"),
    ReadWrite(0x10, "Seconds"),
    ReadWrite(0x11, "Minutes"),
    ReadWrite(0x12, "Hours"),
    ReadWrite(0x13, "Week"),
    ReadWrite(0x14, "Day"),
    ReadWrite(0x15, "Month"),
    ReadWrite(0x16, "Year"),
    ReadOnly(0x17, "Temperature"),
    ReadWrite(0x18, "Backup Function"),
    Reserved(0x19),
    Reserved(0x1A),
    ReadWrite(0x1B, "Timer Counter 0"),
    ReadWrite(0x1C, "Timer Counter 1"),
    ReadWrite(0x1D, "Extension Register"),
    ReadWrite(0x1E, "Flag Register"),
    ReadWrite(0x1F, "Control Register"),
};

const RegisterInfo Tq5200RegisterTable[kRegisterTableRows] = {
    ReadWrite(0x00, "Seconds"),
    ReadWrite(0x01, "Minutes"),
    ReadWrite(0x02, "Hours"),
    ReadWrite(0x03, "Week"),
    ReadWrite(0x04, "Day"),
    ReadWrite(0x05, "Month"),
    ReadWrite(0x06, "Year"),
    ReadWrite(0x07, "RAM"),
    ReadWrite(0x08, "Minute Alarm"),
    ReadWrite(0x09, "Hour Alarm"),
    ReadWrite(0x0A, "Week/Day Alarm"),
    ReadWrite(0x0B, "Timer Counter 0"),
    ReadWrite(0x0C, "Timer Counter 1"),
    ReadWrite(0x0D, "Control 1 Register"),
    ReadWrite(0x0E, "Flag Register"),
    ReadWrite(0x0F, "Control 2 Register"),
    ReadOnly(0x10, "Time Stamp Seconds"),
    ReadOnly(0x11, "Time Stamp Minutes"),
    ReadOnly(0x12, "Time Stamp Hours"),
    ReadOnly(0x13, "Time Stamp Week"),
    ReadOnly(0x14, "Time Stamp Day"),
    ReadOnly(0x15, "Time Stamp Month"),
    ReadOnly(0x16, "Time Stamp Year"),
    ReadWrite(0x17, "EVIN Control"),
    ReadWrite(0x18, "EVIN Monitor"),
    ReadWrite(0x19, "SOUT Control 1"),
    ReadWrite(0x1A, "SOUT Control 2"),
    ReadWrite(0x1B, "Timer Control"),
    ReadOnly(0x1C, "Timer0 Monitor"),
    ReadOnly(0x1D, "Timer1 Monitor"),
    ReadOnly(0x1E, "Timer2 Monitor"),
    ReadWrite(0x1F, "Timer2 Preset"),
};

const RegisterInfo PlaceholderRegisterTable[kRegisterTableRows] = {
    Placeholder(0x00), Placeholder(0x01), Placeholder(0x02), Placeholder(0x03), Placeholder(0x04),
    Placeholder(0x05), Placeholder(0x06), Placeholder(0x07), Placeholder(0x08), Placeholder(0x09),
    Placeholder(0x0A), Placeholder(0x0B), Placeholder(0x0C), Placeholder(0x0D), Placeholder(0x0E),
    Placeholder(0x0F), Placeholder(0x10), Placeholder(0x11), Placeholder(0x12), Placeholder(0x13),
    Placeholder(0x14), Placeholder(0x15), Placeholder(0x16), Placeholder(0x17), Placeholder(0x18),
    Placeholder(0x19), Placeholder(0x1A), Placeholder(0x1B), Placeholder(0x1C), Placeholder(0x1D),
    Placeholder(0x1E), Placeholder(0x1F),
};

const RegisterInfo* RegisterTableAt(int modelIndex) {
    switch (modelIndex) {
        case 0:
            return Tq5100RegisterTable;
        case 1:
            return Tq5200RegisterTable;
        default:
            return PlaceholderRegisterTable;
    }
}

const char* AccessText(const RegisterInfo& row) {
    return row.readOnly ? "Read Only" : "Read/Write";
}

}  // namespace kalendo
