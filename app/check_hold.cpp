#include "app/check_hold.h"

#include "rtc/rtc_registers.h"

namespace kalendo {

namespace {
CheckHold hold = CheckHold::None;
}  // namespace

void SetCheckHold(CheckHold h) {
    hold = h;
}

CheckHold CurrentCheckHold() {
    return hold;
}

bool CheckHoldsTheBoard() {
    return hold == CheckHold::WholeBoard;
}

bool CheckMeasuresTheRtc() {
    return hold != CheckHold::None;
}

bool WritingMovesTheRtcSeconds(uint8_t reg) {
    return reg <= kRegYear || reg == kRegTimerCounter0 || reg == kRegTimerCounter1 ||
           reg == kRegExtension || reg == kRegControl || reg == kRegTimer2Preset;
}

}  // namespace kalendo
