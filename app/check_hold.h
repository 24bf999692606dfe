// What a running data-sheet check asks of the rest of the window. While a whole check changes
// the board (supply sweep, current at 3 V), the pages' timers skip their bus work, a supply change
// still pending is dropped, and the status tick only looks whether the board is still there. While
// any run measures the RTC (the accuracy-only run too), nothing may write its time, its write
// guard, its timer or its clock output: each would move the seconds the run is timing. Reading
// stays free. User-interface thread only.
#pragma once

#include <cstdint>

namespace kalendo {

enum class CheckHold {
    None,
    MeasuringRtc,  // the accuracy-only run
    WholeBoard,    // the whole check
};

void SetCheckHold(CheckHold hold);
CheckHold CurrentCheckHold();
bool CheckHoldsTheBoard();   // a whole check runs
bool CheckMeasuresTheRtc();  // any run

// The warning of a page action refused while a run measures the RTC.
constexpr const char* kRefusedWhileMeasuring =
    "WARNING: Not changed, the Data Sheet Check is measuring the RTC (stop it first)";

// Registers whose writing would move the RTC's seconds: the time and date, the timer and its
// source and the clock output (0x0D), the write guard (0x0F), and the TQ5200's third timer byte.
bool WritingMovesTheRtcSeconds(uint8_t reg);

}  // namespace kalendo
