// Tooltips for one window's controls from a table of (control id, text) rows.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <cstdint>
#include <utility>
#include <vector>

namespace kalendo {

struct TooltipRow {
    int32_t controlId;
    const char* text;  // may be null: the control is a tool without a tip
};

// Private messages to the static controls a TooltipSet has subclassed.
constexpr UINT WM_TOOLTIP_SUBCLASS = WM_APP + 999;    // lParam: the previous window procedure
constexpr UINT WM_TOOLTIP_UNSUBCLASS = WM_APP + 998;  // puts the previous procedure back

// Name of the window property that keeps a subclassed static's previous procedure.
constexpr const char* kTooltipPropName = "CTooltipWndProc";

class TooltipSet {
  public:
    TooltipSet() = default;
    TooltipSet(const TooltipSet&) = delete;
    TooltipSet& operator=(const TooltipSet&) = delete;
    virtual ~TooltipSet();

    // Makes one tooltip window for parent and registers every descendant whose id has a row.
    // Returns the tooltip window, or null when parent or table is null or the window failed.
    HWND Build(const TooltipRow* table, HWND parent, int32_t rowCount);
    // Removes the tools, restores subclassed statics, destroys the window, frees the rows.
    void Teardown();
    // Registers a rectangle of window (client coordinates) as a tool with a fixed tip, for areas
    // that are no child windows of their own (tab headers). The tooltip window watches window's
    // mouse itself. False when the set has no tooltip window or the tool was refused.
    bool AddAreaTool(HWND window, UINT_PTR id, const RECT& area, const char* text);
    // Answers a TTN_GETDISPINFOA request from the rows; returns the tool's control id
    // (-1 for a null header).
    int SupplyText(NMTTDISPINFOA* header) const;

    HWND TooltipWindow() const { return tooltipWindow_; }

    static BOOL CALLBACK ToolForChild(HWND child, LPARAM set);
    static LRESULT CALLBACK TooltipSubclassProc(HWND window, UINT message, WPARAM wParam,
                                                LPARAM lParam);

  private:
    const TooltipRow* FindRow(int id) const;

    HWND parent_ = nullptr;
    HWND tooltipWindow_ = nullptr;
    TooltipRow* rows_ = nullptr;  // owned, with owned text copies
    int32_t rowCount_ = 0;
    bool adding_ = false;
    std::vector<std::pair<HWND, UINT_PTR>> areaTools_;  // removed again by Teardown
};

}  // namespace kalendo
