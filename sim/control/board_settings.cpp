#include "sim/control/board_settings.h"

#include "sim/chips/evaluation_board_chips.h"
#include "sim/library/simulated_library.h"

namespace kalendo::sim {

namespace {

using A = SettingArgument;
constexpr double kAnyUnsigned = 0xFFFFFFFFu;

// The default pin-command time below is the engine's own default, in ns.
static_assert(kCommandPs == 200'000, "pin-ns defaultValue must be kCommandPs in ns");
static_assert(kDefaultUsbRoundTripUs == 250, "usb-round-trip defaultValue must match");

// Captureless lambdas (auto parameters) become ApplySetting pointers.
const BoardSetting kSettings[] = {
    // The board loses its USB power with the cable: the RTC goes to its battery meanwhile.
    {"unplug", nullptr, A::None, 0, 0, "unplug",
     [](auto& t, auto&, auto*) {
         t.library.Unplug();
         if (t.chips) t.library.WithLock([&] { t.chips->SetUsbPowered(false); });
         return true;
     }},
    {"plugback", nullptr, A::None, 0, 0, "plugback",
     [](auto& t, auto&, auto*) {
         if (t.chips) t.library.WithLock([&] { t.chips->SetUsbPowered(true); });
         t.library.PlugBack();
         return true;
     }},
    {"ack", nullptr, A::UnsignedOnOff, 0, 0x7F, "ack <7-bit address> on|off",
     [](auto& t, auto& c, auto*) {
         return t.library.SetAddressAcknowledge(static_cast<uint8_t>(c.value), c.on), true;
     }},
    {"supply", "auto", A::Word, 0, 0, "supply <volts 0-6> | supply auto",
     [](auto& t, auto&, auto*) { return t.chips->ClearSupplyOverride(), true; }, true},
    {"supply", nullptr, A::Real, 0.0, 6.0, "supply <volts 0-6> | supply auto",
     [](auto& t, auto& c, auto*) { return t.chips->SetSupplyOverride(c.number), true; }, true},
    {"battery", nullptr, A::Real, 0.0, 6.0, "battery <volts 0-6>",
     [](auto& t, auto& c, auto*) { return t.chips->SetBatteryVoltage(c.number), true; }, true},
    {"temperature", nullptr, A::Real, -60.0, 150.0, "temperature <celsius -60 to 150>",
     [](auto& t, auto& c, auto*) { return t.chips->SetBoardTemperature(c.number), true; }, true},
    {"event", nullptr, A::None, 0, 0, "event",
     [](auto& t, auto&, auto*) { return t.chips->FireEventInput(), true; }, true},
    {"clock", "virtual", A::Word, 0, 0, "clock virtual|real",
     [](auto& t, auto&, auto*) { return t.library.Clock().UseVirtual(true), true; }},
    {"clock", "real", A::Word, 0, 0, "clock virtual|real",
     [](auto& t, auto&, auto*) { return t.library.Clock().UseVirtual(false), true; }},
    {"advance", nullptr, A::Unsigned, 0, kAnyUnsigned, "advance <milliseconds>",
     [](auto& t, auto& c, auto* error) {
         if (!t.library.Clock().IsVirtual()) {
             if (error) *error = "advance needs the virtual clock (clock virtual)";
             return false;
         }
         t.library.WithLock([&] { t.library.Clock().AdvanceMs(c.value); });
         return true;
     }},
    {"fail-open", nullptr, A::Unsigned, 0, kAnyUnsigned, "fail-open <status, 0 for none>",
     [](auto& t, auto& c, auto*) { return t.library.SetFailOpen(c.value), true; }},
    {"fail-write", nullptr, A::Unsigned, 0, kAnyUnsigned, "fail-write <status, 0 for none>",
     [](auto& t, auto& c, auto*) { return t.library.SetFailWrite(c.value), true; }},
    {"echo", nullptr, A::OnOff, 0, 0, "echo on|off",
     [](auto& t, auto& c, auto*) { return t.library.SetEngineEcho(c.on), true; }},
    {"short-read", nullptr, A::Nth, 0, 0, "short-read <n from 1>|always|off",
     [](auto& t, auto& c, auto*) { return t.library.SetShortRead(c.nth), true; }, false,
     "KALENDO_SIM_SHORT_READ", "off"},
    {"short-write", nullptr, A::Nth, 0, 0, "short-write <n from 1>|always|off",
     [](auto& t, auto& c, auto*) { return t.library.SetShortWrite(c.nth), true; }, false,
     "KALENDO_SIM_SHORT_WRITE", "off"},
    {"answer-delay", nullptr, A::Unsigned, 0, 60000, "answer-delay <milliseconds 0-60000>",
     [](auto& t, auto& c, auto*) { return t.library.SetAnswerDelayMs(c.value), true; }, false,
     "KALENDO_SIM_ANSWER_DELAY", "0"},
    {"usb-round-trip", nullptr, A::Unsigned, 0, 100000, "usb-round-trip <microseconds 0-100000>",
     [](auto& t, auto& c, auto*) { return t.library.SetUsbRoundTripUs(c.value), true; }, false,
     "KALENDO_SIM_USB_ROUND_TRIP_US", "250"},
    {"pin-ns", nullptr, A::Unsigned, kMinPinNs, kMaxPinNs, "pin-ns <nanoseconds 10-100000>",
     [](auto& t, auto& c, auto*) { return t.library.SetPinCommandNs(c.value), true; }, false,
     "KALENDO_SIM_PIN_NS", "200"},
    {"ppm", nullptr, A::Real, -kMaxCrystalPpm, kMaxCrystalPpm,
     "ppm <crystal error -100000 to 100000>",
     [](auto& t, auto& c, auto*) { return t.chips->SetCrystalPpm(c.number), true; }, true,
     "KALENDO_SIM_PPM"},
    {"aging", nullptr, A::Real, -kMaxCrystalAging, kMaxCrystalAging,
     "aging <ppm per year -100000 to 100000>",
     [](auto& t, auto& c, auto*) { return t.chips->SetCrystalAging(c.number), true; }, true,
     "KALENDO_SIM_AGING"},
    {"tempco", nullptr, A::Real, -kMaxCrystalTempco, kMaxCrystalTempco,
     "tempco <ppm per degree squared -1 to 1>",
     [](auto& t, auto& c, auto*) { return t.chips->SetCrystalTempco(c.number), true; }, true,
     "KALENDO_SIM_TEMPCO"},
    {"rtc-interface-min", nullptr, A::Real, 0.0, 6.0, "rtc-interface-min <volts 0-6>",
     [](auto& t, auto& c, auto*) { return t.chips->SetRtcInterfaceMinimum(c.number), true; },
     true, "KALENDO_SIM_RTC_INTERFACE_MIN"},
    {"rtc-timekeeping-min", nullptr, A::Real, 0.0, 6.0, "rtc-timekeeping-min <volts 0-6>",
     [](auto& t, auto& c, auto*) { return t.chips->SetRtcTimekeepingMinimum(c.number), true; },
     true, "KALENDO_SIM_RTC_TIMEKEEPING_MIN"},
    {"switch-to-battery", nullptr, A::Real, 0.0, 6.0, "switch-to-battery <volts 0-6>",
     [](auto& t, auto& c, auto*) { return t.chips->SetSwitchToBattery(c.number), true; }, true,
     "KALENDO_SIM_SWITCH_TO_BATTERY"},
    {"switch-to-supply", nullptr, A::Real, 0.0, 6.0, "switch-to-supply <volts 0-6>",
     [](auto& t, auto& c, auto*) { return t.chips->SetSwitchToSupply(c.number), true; }, true,
     "KALENDO_SIM_SWITCH_TO_SUPPLY"},
    {"rtc-supply-current", nullptr, A::Real, 0.0, 100.0, "rtc-supply-current <microamps 0-100>",
     [](auto& t, auto& c, auto*) { return t.chips->SetRtcSupplyCurrent(c.number), true; }, true,
     "KALENDO_SIM_RTC_SUPPLY_CURRENT"},
    {"rtc-battery-current", nullptr, A::Real, 0.0, 100.0,
     "rtc-battery-current <microamps 0-100>",
     [](auto& t, auto& c, auto*) { return t.chips->SetRtcBatteryCurrent(c.number), true; }, true,
     "KALENDO_SIM_RTC_BATTERY_CURRENT"},
    {"in-use", nullptr, A::UnsignedOnOff, 0, 255, "in-use <list position from 0> on|off",
     [](auto& t, auto& c, auto* error) {
         if (c.value >= t.library.DeviceList().size()) {
             if (error) *error = "no device at list position " + std::to_string(c.value);
             return false;
         }
         return t.library.SetInUse(c.value, c.on), true;
     },
     false, "KALENDO_SIM_IN_USE", nullptr, true},
};

}  // namespace

const BoardSetting* BoardSettings(size_t* count) {
    *count = sizeof(kSettings) / sizeof(kSettings[0]);
    return kSettings;
}

std::string SettingName(const BoardSetting& setting) {
    return setting.word ? std::string(setting.command) + " " + setting.word : setting.command;
}

const BoardSetting* FindBoardSetting(const std::string& name) {
    for (const BoardSetting& s : kSettings) {
        if (SettingName(s) == name) return &s;
    }
    return nullptr;
}

}  // namespace kalendo::sim
