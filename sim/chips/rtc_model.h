// Which RTC the evaluation board carries at 0x32.
#pragma once

namespace kalendo::sim {

enum class RtcModel { Tq5100, Tq5200 };

}  // namespace kalendo::sim
