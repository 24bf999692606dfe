#include "app/tab_page.h"

#include <commctrl.h>

#include <new>

#include "app/check_hold.h"
#include "app/connection_state.h"
#include "app/status_text.h"
#include "bridge/bus_action.h"

namespace kalendo {

namespace {

constexpr int kCommitBufferSize = 64;

bool IsEditWithoutWantReturn(HWND window) {
    if (!window) {
        return false;
    }
    char className[32] = {};
    GetClassNameA(window, className, sizeof className);
    return lstrcmpiA(className, "EDIT") == 0 &&
           (GetWindowLongPtrA(window, GWL_STYLE) & ES_WANTRETURN) == 0;
}

}  // namespace

TabPage::TabPage(const TooltipRow* tooltipTable, int32_t tooltipRowCount)
    : tooltipTable_(tooltipTable), tooltipRowCount_(tooltipRowCount) {}

TabPage::~TabPage() {
    ReleaseTooltips();
}

void TabPage::OnClose() {
    ReleaseTooltips();
    editChanged_ = false;
}

void TabPage::ReleaseTooltips() {
    delete tooltips_;
    tooltips_ = nullptr;
}

void TabPage::ShowInformation(const char* text) const {
    kalendo::ShowInformation(owner_, text);
}

bool TabPage::RequireConnection(const char* warning) const {
    if (BoardConnected) {
        return true;
    }
    ShowInformation(warning);
    return false;
}

bool TabPage::RequireRtcUndisturbed() const {
    if (!CheckMeasuresTheRtc()) {
        return true;
    }
    ShowInformation(kRefusedWhileMeasuring);
    return false;
}

INT_PTR CALLBACK TabPage::PageDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    TabPage* page = reinterpret_cast<TabPage*>(GetWindowLongPtrA(window, DWLP_USER));
    if (message == WM_INITDIALOG) {
        page = reinterpret_cast<TabPage*>(lParam);
        if (page) {
            page->dialog_ = window;
        }
        SetWindowLongPtrA(window, DWLP_USER, lParam);
    }
    if (!page) {
        return FALSE;
    }
    if (message == WM_TIMER) {
        return page->HandleMessage(message, wParam, lParam);  // each timer chooses its own hold
    }
    BusAction hold(kUserActionBusWaitMs);
    return page->HandleMessage(message, wParam, lParam);
}

int TabPage::HandleCommonMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    lastMessage_ = message;
    lastWParam_ = wParam;
    lastLParam_ = lParam;
    switch (message) {
        case WM_NOTIFY: {
            auto* header = reinterpret_cast<NMHDR*>(lParam);
            if (header && header->code == TTN_GETDISPINFOA && tooltips_) {
                tooltips_->SupplyText(reinterpret_cast<NMTTDISPINFOA*>(lParam));
            }
            break;
        }
        case WM_INITDIALOG:
            if (tooltipTable_ && tooltipRowCount_ != 0) {
                ReleaseTooltips();
                tooltips_ = new (std::nothrow) TooltipSet();
                if (tooltips_) {
                    tooltips_->Build(tooltipTable_, dialog_, tooltipRowCount_);
                }
            }
            break;
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            const int code = HIWORD(wParam);
            if (code == 0 && id == IDOK) {
                // Enter in a single-line edit box moves on like Tab instead of pressing a default
                // button the page does not have.
                if (IsEditWithoutWantReturn(GetFocus())) {
                    PostMessageA(dialog_, WM_NEXTDLGCTL, 0, 0);
                }
            } else if (code == EN_SETFOCUS) {
                editChanged_ = false;
            } else if (code == EN_CHANGE) {
                editChanged_ = true;
            } else if (code == EN_KILLFOCUS && editChanged_) {
                char text[kCommitBufferSize] = {};
                GetWindowTextA(reinterpret_cast<HWND>(lParam), text, sizeof text);
                SendMessageA(dialog_, WM_EDITCOMMIT, id, reinterpret_cast<LPARAM>(text));
                editChanged_ = false;
            }
            break;
        }
        default:
            break;
    }
    return 0;
}

bool TabPage::TrackUpDown(const SpinGroup& group, int32_t* out) {
    const int request = LOWORD(lastWParam_);
    if (lastMessage_ != WM_VSCROLL || !lastLParam_ ||
        GetDlgCtrlID(reinterpret_cast<HWND>(lastLParam_)) != group.upDownId ||
        (request != SB_THUMBPOSITION && request != SB_THUMBTRACK)) {
        return false;
    }
    const auto position =
        static_cast<int32_t>(SendDlgItemMessageA(dialog_, group.upDownId, UDM_GETPOS32, 0, 0));
    if (group.trackbarId != 0) {
        SendDlgItemMessageA(dialog_, group.trackbarId, TBM_SETPOS, TRUE, position);
    }
    if (out) {
        *out = position;
    }
    return true;
}

bool TabPage::TrackTrackbar(const SpinGroup& group, int32_t* out) {
    if (lastMessage_ != WM_HSCROLL || !lastLParam_ ||
        GetDlgCtrlID(reinterpret_cast<HWND>(lastLParam_)) != group.trackbarId) {
        return false;
    }
    if (LOWORD(lastWParam_) == TB_ENDTRACK) {
        if (group.editId != 0) {
            SendDlgItemMessageA(dialog_, group.editId, EM_SETSEL, 0, -1);
        }
        return false;
    }
    const auto position =
        static_cast<int32_t>(SendDlgItemMessageA(dialog_, group.trackbarId, TBM_GETPOS, 0, 0));
    if (group.editId != 0) {
        SetDlgItemInt(dialog_, group.editId, static_cast<UINT>(position), TRUE);
        SetFocus(GetDlgItem(dialog_, group.editId));
    }
    if (out) {
        *out = position;
    }
    return true;
}

}  // namespace kalendo
