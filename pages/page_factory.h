// Makes the page object of a creation code: 1 Time and Date, 2 Information, 3 Alarm, 4 Timer,
// 5 Registers, 6 Power and FOUT.
#pragma once

#include "app/tab_page.h"

namespace kalendo {

// A new page owned by the caller; null for an unknown code or when it cannot be allocated.
TabPage* MakePage(int kindCode);

}  // namespace kalendo
