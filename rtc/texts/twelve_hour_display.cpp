#include "rtc/texts/twelve_hour_display.h"

namespace kalendo {

uint8_t TwelveHourDisplay = 1;

}  // namespace kalendo
