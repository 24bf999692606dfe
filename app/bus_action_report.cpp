#include "app/bus_action_report.h"

#include "app/status_text.h"
#include "bridge/bridge_state.h"
#include "resources/resource_ids.h"

namespace kalendo {

BusActionReport::BusActionReport() {
    Bridge().BusStatus = 0;
}

bool BusActionReport::Collect() {
    if (firstFailure_ == 0 && Bridge().BusStatus != 0) {
        firstFailure_ = Bridge().BusStatus;
    }
    return firstFailure_ == 0;
}

bool BusActionReport::Report(HWND mainWindow, const char* successText, const char* failureText) {
    if (Collect()) {
        ShowInformation(mainWindow, successText);
        return true;
    }
    if (mainWindow) {
        SetWindowTextFormat(GetDlgItem(mainWindow, IDC_MAIN_INFO), "ERROR: %s", failureText);
    }
    return false;
}

}  // namespace kalendo
