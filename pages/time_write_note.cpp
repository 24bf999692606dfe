#include "pages/time_write_note.h"

#include "app/connection_state.h"
#include "app/status_text.h"
#include "marks/mark_store_file.h"
#include "marks/time_write_event.h"
#include "resources/resource_ids.h"

namespace kalendo {

std::string ChosenModelName() {
    return Tq5200Selected == 1 ? "TQ5200" : "TQ5100";
}

void NoteTimeWrite(HWND mainWindow, const std::string& what) {
    const std::string path = marks::DefaultMarkStorePath();
    const marks::StoreResult added =
        path.empty() ? marks::StoreResult{marks::StoreStatus::Failed,
                                          "no folder for the mark store (APPDATA unset)"}
                     : marks::RecordTimeWrite(ChosenModelName(), "Kalendo " + what, path);
    if (added.ok() || !mainWindow) return;
    char shown[512] = {};
    GetDlgItemTextA(mainWindow, IDC_MAIN_INFO, shown, sizeof shown);
    const std::string line =
        std::string(shown) + "; time write not recorded in the mark store: " + added.message;
    ShowInformation(mainWindow, line.c_str());
}

}  // namespace kalendo
