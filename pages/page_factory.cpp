#include "pages/page_factory.h"

#include <new>

#include "pages/alarm_page.h"
#include "pages/information_page.h"
#include "pages/power_fout_page.h"
#include "pages/registers_page.h"
#include "pages/time_date_page.h"
#include "pages/timer_page.h"

namespace kalendo {

TabPage* MakePage(int kindCode) {
    switch (kindCode) {
        case 1:
            return new (std::nothrow) TimeDatePage();
        case 2:
            return new (std::nothrow) InformationPage();
        case 3:
            return new (std::nothrow) AlarmPage();
        case 4:
            return new (std::nothrow) TimerPage();
        case 5:
            return new (std::nothrow) RegistersPage();
        case 6:
            return new (std::nothrow) PowerFoutPage();
        default:
            return nullptr;
    }
}

}  // namespace kalendo
