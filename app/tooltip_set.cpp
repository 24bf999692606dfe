#include "app/tooltip_set.h"

#include <commctrl.h>

#include <cstring>
#include <new>

namespace kalendo {

namespace {

// The tooltip control of comctl32 version 5 (no version 6 manifest) rejects the full structure
// size of newer headers on 64-bit; the version 2 size is accepted everywhere.
const UINT kToolInfoSize = TTTOOLINFOA_V2_SIZE;

constexpr int kFirstToolId = 100;  // labels (-1) and OK/Cancel (1, 2) never get tips
constexpr int kMaxTipWidth = 300;

char* CopyText(const char* text) {
    if (!text) {
        return nullptr;
    }
    const size_t length = std::strlen(text);
    char* copy = new (std::nothrow) char[length + 1];
    if (copy) {
        std::memcpy(copy, text, length + 1);
    }
    return copy;
}

bool IsStaticControl(HWND window) {
    char className[257] = {};
    GetClassNameA(window, className, sizeof className);
    return lstrcmpiA(className, "STATIC") == 0;
}

}  // namespace

TooltipSet::~TooltipSet() {
    Teardown();
}

HWND TooltipSet::Build(const TooltipRow* table, HWND parent, int32_t rowCount) {
    if (!parent || !table) {
        return nullptr;
    }
    Teardown();
    if (rowCount > 0) {
        rows_ = new (std::nothrow) TooltipRow[rowCount];
        if (!rows_) {
            return nullptr;
        }
        rowCount_ = rowCount;
        for (int32_t i = 0; i < rowCount; ++i) {
            rows_[i].controlId = table[i].controlId;
            rows_[i].text = CopyText(table[i].text);
        }
    }
    parent_ = parent;
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(parent, GWLP_HINSTANCE));
    tooltipWindow_ = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, TTS_ALWAYSTIP | TTS_NOPREFIX,
                                     CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                     parent, nullptr, instance, nullptr);
    if (tooltipWindow_) {
        SetWindowPos(tooltipWindow_, HWND_TOPMOST, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        SendMessageA(tooltipWindow_, TTM_SETMAXTIPWIDTH, 0, kMaxTipWidth);
        adding_ = true;
        if (!EnumChildWindows(parent, ToolForChild, reinterpret_cast<LPARAM>(this))) {
            Teardown();
        }
    }
    return tooltipWindow_;
}

bool TooltipSet::AddAreaTool(HWND window, UINT_PTR id, const RECT& area, const char* text) {
    if (!tooltipWindow_ || !window) {
        return false;
    }
    TOOLINFOA info = {};
    info.cbSize = kToolInfoSize;
    info.uFlags = TTF_SUBCLASS;
    info.hwnd = window;
    info.uId = id;
    info.rect = area;
    info.lpszText = const_cast<char*>(text ? text : "");  // the tooltip keeps its own copy
    if (!SendMessageA(tooltipWindow_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info))) {
        return false;
    }
    areaTools_.emplace_back(window, id);
    return true;
}

void TooltipSet::Teardown() {
    if (tooltipWindow_ && IsWindow(tooltipWindow_)) {
        for (const auto& tool : areaTools_) {
            TOOLINFOA info = {};
            info.cbSize = kToolInfoSize;
            info.hwnd = tool.first;
            info.uId = tool.second;
            SendMessageA(tooltipWindow_, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&info));
        }
    }
    areaTools_.clear();
    if (parent_ && tooltipWindow_ && IsWindow(tooltipWindow_)) {
        adding_ = false;
        EnumChildWindows(parent_, ToolForChild, reinterpret_cast<LPARAM>(this));
        DestroyWindow(tooltipWindow_);
    }
    for (int32_t i = 0; i < rowCount_; ++i) {
        delete[] rows_[i].text;
    }
    delete[] rows_;
    rows_ = nullptr;
    rowCount_ = 0;
    tooltipWindow_ = nullptr;
    parent_ = nullptr;
}

const TooltipRow* TooltipSet::FindRow(int id) const {
    for (int32_t i = 0; i < rowCount_; ++i) {
        if (rows_[i].controlId == id) {
            return &rows_[i];
        }
    }
    return nullptr;
}

int TooltipSet::SupplyText(NMTTDISPINFOA* header) const {
    if (!header) {
        return -1;
    }
    const int id = (header->uFlags & TTF_IDISHWND)
                       ? GetDlgCtrlID(reinterpret_cast<HWND>(header->hdr.idFrom))
                       : static_cast<int>(header->hdr.idFrom);
    if (id < kFirstToolId) {
        return id;
    }
    if (const TooltipRow* row = FindRow(id)) {
        header->lpszText = const_cast<char*>(row->text);
    }
    return id;
}

BOOL CALLBACK TooltipSet::ToolForChild(HWND child, LPARAM setParam) {
    const int id = GetDlgCtrlID(child);
    if (id < kFirstToolId) {
        return TRUE;
    }
    TooltipSet* set = reinterpret_cast<TooltipSet*>(setParam);
    if (!set) {
        return FALSE;
    }
    if (!set->FindRow(id)) {
        return TRUE;
    }
    const bool isStatic = IsStaticControl(child);
    if (isStatic && set->adding_) {
        // Statics let the mouse through to their parent; the subclass makes them keep it, so the
        // tooltip window sees the hover.
        LONG_PTR previous =
            SetWindowLongPtrA(child, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TooltipSubclassProc));
        SendMessageA(child, WM_TOOLTIP_SUBCLASS, 0, previous);
    }
    TOOLINFOA info = {};
    info.cbSize = kToolInfoSize;
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = set->parent_;
    info.uId = reinterpret_cast<UINT_PTR>(child);
    info.lpszText = LPSTR_TEXTCALLBACKA;
    SendMessageA(set->tooltipWindow_, set->adding_ ? TTM_ADDTOOLA : TTM_DELTOOLA, 0,
                 reinterpret_cast<LPARAM>(&info));
    if (isStatic && !set->adding_) {
        SendMessageA(child, WM_TOOLTIP_UNSUBCLASS, 0, 0);
    }
    return TRUE;
}

LRESULT CALLBACK TooltipSet::TooltipSubclassProc(HWND window, UINT message, WPARAM wParam,
                                                 LPARAM lParam) {
    WNDPROC previous = reinterpret_cast<WNDPROC>(GetPropA(window, kTooltipPropName));
    if (!previous) {
        previous = DefWindowProcA;
    }
    switch (message) {
        case WM_NCHITTEST:
            return HTCLIENT;
        case WM_TOOLTIP_SUBCLASS:
            SetPropA(window, kTooltipPropName, reinterpret_cast<HANDLE>(lParam));
            return 1;
        case WM_NCDESTROY:
        case WM_TOOLTIP_UNSUBCLASS:
            RemovePropA(window, kTooltipPropName);
            SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
            return CallWindowProcA(previous, window, message, wParam, lParam);
        default:
            return CallWindowProcA(previous, window, message, wParam, lParam);
    }
}

}  // namespace kalendo
