// Whether times are shown with AM/PM (1) or in 24-hour form (0). Process-wide, starts at 1;
// the main window sets it back to 1 on disconnect and the Time and Date page's options change it.
#pragma once

#include <cstdint>

namespace kalendo {

extern uint8_t TwelveHourDisplay;

}  // namespace kalendo
