#include "rtc/fout_operations.h"

#include "rtc/rtc_registers.h"

namespace kalendo {

FoutFrequencyResult SetFoutFrequency(RegisterPort& rtc, uint8_t code) {
    uint8_t extension = 0;
    if (!rtc.Read8(kRegExtension, &extension)) return FoutFrequencyResult::NotRead;
    const auto value = static_cast<uint8_t>((extension & ~EXT_FOUT_FREQ) |
                                            ((code << kFoutFreqShift) & EXT_FOUT_FREQ));
    return rtc.Write8(kRegExtension, value) ? FoutFrequencyResult::Set
                                            : FoutFrequencyResult::NotWritten;
}

}  // namespace kalendo
