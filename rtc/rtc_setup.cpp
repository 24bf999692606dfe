#include "rtc/rtc_setup.h"

#include <cstddef>

#include "rtc/rtc_registers.h"

namespace kalendo {

namespace {

struct RegisterValue {
    uint8_t reg;
    uint8_t value;
};

constexpr RegisterValue kTq5100Setup[] = {
    {kRegExtension, kExtensionAtConnect}, {kRegControl, 0x40}, {kRegFlag, 0x00},
    {kRegBackupFunction, 0x01}};
constexpr RegisterValue kTq5200Setup[] = {
    {kRegExtension, kExtensionAtConnect}, {kRegFlag, 0x00}, {kRegFlag, 0x40}};

template <std::size_t N>
bool WriteAll(RegisterPort& rtc, const RegisterValue (&writes)[N]) {
    bool ok = true;
    for (const RegisterValue& w : writes) ok = rtc.Write8(w.reg, w.value) && ok;
    return ok;
}

}  // namespace

bool InitialiseRtc(RegisterPort& rtc, bool tq5200) {
    return tq5200 ? WriteAll(rtc, kTq5200Setup) : WriteAll(rtc, kTq5100Setup);
}

}  // namespace kalendo
