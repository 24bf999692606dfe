// The base of the six feature pages: a modeless child dialog inside the main window's tab control
// with the same basic handling everywhere (tooltips, Enter in edit boxes, edit commits, and
// keeping an edit box, an up-down control and a trackbar in step).
#pragma once

#include <windows.h>

#include <cstdint>

#include "app/tooltip_set.h"

namespace kalendo {

// Sent to a page's own dialog when an edit box that was typed into loses the focus.
// wParam: the edit box's id; lParam: its text (at most 63 characters), valid during the call.
constexpr UINT WM_EDITCOMMIT = WM_APP + 899;

// An edit box, its up-down control and a trackbar; 0 means "none".
struct SpinGroup {
    int editId;
    int upDownId;
    int trackbarId;
};

class TabPage {
  public:
    TabPage(const TabPage&) = delete;
    TabPage& operator=(const TabPage&) = delete;

    virtual ~TabPage();
    // Kept on purpose: an empty slot every page fills and nothing calls; the slots keep order.
    virtual void Reserved() = 0;
    virtual void Reset() {}
    virtual void OnShow() {}
    virtual void OnHide() {}
    virtual void OnClose();
    // Kept on purpose: the creation code (2 1 3 4 5 6 in tab order); nothing calls it.
    virtual int KindCode() const = 0;
    virtual int DialogId() const = 0;
    virtual const char* Caption() const = 0;
    virtual const char* TabTip() const = 0;
    virtual INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;

    static INT_PTR CALLBACK PageDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND Owner() const { return owner_; }
    void SetOwner(HWND owner) { owner_ = owner; }
    HWND Dialog() const { return dialog_; }
    const TooltipSet* Tooltips() const { return tooltips_; }

  protected:
    TabPage(const TooltipRow* tooltipTable, int32_t tooltipRowCount);

    // Kept on purpose: always 0; every page ignores it and its own handling gives the result.
    int HandleCommonMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // For the last message: an up-down thumb report moves the group's trackbar along.
    bool TrackUpDown(const SpinGroup& group, int32_t* out);
    // For the last message: a trackbar move writes its position into the group's edit box.
    bool TrackTrackbar(const SpinGroup& group, int32_t* out);

    // The main window's information line; shows nothing before the page knows its owner.
    void ShowInformation(const char* text) const;
    // The first step of every page action: false, with the warning on the information line, when
    // no board is connected (the action then touches nothing).
    bool RequireConnection(const char* warning) const;
    // The first step of an action that writes the RTC's time, write guard, timer or clock output:
    // false, with the warning on the information line, while a data-sheet check measures the RTC.
    bool RequireRtcUndisturbed() const;

  private:
    void ReleaseTooltips();

    HWND owner_ = nullptr;
    HWND dialog_ = nullptr;
    const TooltipRow* tooltipTable_;
    int32_t tooltipRowCount_;
    UINT lastMessage_ = 0;
    WPARAM lastWParam_ = 0;
    LPARAM lastLParam_ = 0;
    TooltipSet* tooltips_ = nullptr;  // owned
    bool editChanged_ = false;
};

}  // namespace kalendo
