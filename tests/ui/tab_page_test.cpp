// The handling every page shares: Enter in edit boxes, the commit of an edited box when it loses
// the focus, and an up-down control and a trackbar kept in step with their edit box. A probe page
// on the Timer page's dialog, which holds such a group, records what the framework does.
#include <windows.h>

#include <commctrl.h>

#include <string>
#include <utility>
#include <vector>

#include "app/tab_page.h"
#include "resources/resource_ids.h"
#include "tests/ui/ui_fixture.h"

namespace kalendo {
namespace {

constexpr SpinGroup kCounterGroup = {IDC_TIMER_COUNTER_EDIT, IDC_TIMER_COUNTER_UPDOWN,
                                     IDC_TIMER_COUNTER_TRACKBAR};

class ProbePage : public TabPage {
  public:
    ProbePage() : TabPage(nullptr, 0) {}
    void Reserved() override {}
    int KindCode() const override { return 0; }
    int DialogId() const override { return IDD_PAGE_TIMER; }
    const char* Caption() const override { return "Probe"; }
    const char* TabTip() const override { return "Probe"; }
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        HandleCommonMessage(message, wParam, lParam);
        if (message == WM_EDITCOMMIT) {
            commits.emplace_back(static_cast<int>(wParam), reinterpret_cast<const char*>(lParam));
        } else if (message == WM_HSCROLL) {
            tracked = TrackTrackbar(kCounterGroup, &position);
        } else if (message == WM_VSCROLL) {
            tracked = TrackUpDown(kCounterGroup, &position);
        }
        return message == WM_INITDIALOG ? TRUE : FALSE;
    }

    std::vector<std::pair<int, std::string>> commits;
    bool tracked = false;
    int32_t position = -1;
};

class TabPageTest : public MainWindowTest {
  protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        host_ = CreateWindowExA(0, "STATIC", "host", WS_POPUP | WS_VISIBLE, 0, 0, 800, 500, nullptr,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(host_, nullptr);
        page_ =
            CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_PAGE_TIMER), host_,
                               TabPage::PageDialogProc, reinterpret_cast<LPARAM>(&probe_));
        ASSERT_NE(page_, nullptr);
        ShowWindow(page_, SW_SHOW);
        SetForegroundWindow(host_);
    }
    void TearDown() override {
        DestroyWindow(host_);
        MainWindowTest::TearDown();
    }
    HWND Control(int id) const { return GetDlgItem(page_, id); }
    void Pump() {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (!IsDialogMessageA(page_, &msg)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        }
    }

    ProbePage probe_;
    HWND host_ = nullptr;
    HWND page_ = nullptr;
};

TEST_F(TabPageTest, EnterInASingleLineEditMovesOnAndWantReturnEditsAreLeftAlone) {
    HWND edit = Control(IDC_TIMER_COUNTER_EDIT);
    SetFocus(edit);
    ASSERT_EQ(GetFocus(), edit);
    SendMessageA(page_, WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
    Pump();
    EXPECT_NE(GetFocus(), edit);

    SetWindowLongPtrA(edit, GWL_STYLE, GetWindowLongPtrA(edit, GWL_STYLE) | ES_WANTRETURN);
    SetFocus(edit);
    SendMessageA(page_, WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
    Pump();
    EXPECT_EQ(GetFocus(), edit);
}

TEST_F(TabPageTest, AnEditedBoxCommitsItsTextOnceWhenItLosesTheFocus) {
    HWND edit = Control(IDC_TIMER_COUNTER_EDIT);
    HWND elsewhere = Control(IDC_TIMER_SINGLE);
    SetFocus(edit);
    SetWindowTextA(edit, "1234");
    SetFocus(elsewhere);
    ASSERT_EQ(probe_.commits.size(), 1u);
    EXPECT_EQ(probe_.commits[0].first, IDC_TIMER_COUNTER_EDIT);
    EXPECT_EQ(probe_.commits[0].second, "1234");

    // Passing through without typing commits nothing.
    SetFocus(edit);
    SetFocus(elsewhere);
    EXPECT_EQ(probe_.commits.size(), 1u);
}

TEST_F(TabPageTest, TrackbarMovesWriteTheEditBoxAndTheEndOfADragSelectsItsText) {
    HWND trackbar = Control(IDC_TIMER_COUNTER_TRACKBAR);
    HWND edit = Control(IDC_TIMER_COUNTER_EDIT);
    SendMessageA(trackbar, TBM_SETRANGEMIN, FALSE, -50);
    SendMessageA(trackbar, TBM_SETPOS, TRUE, -7);
    SendMessageA(page_, WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, 0),
                 reinterpret_cast<LPARAM>(trackbar));
    EXPECT_TRUE(probe_.tracked);
    EXPECT_EQ(probe_.position, -7);
    char text[16] = {};
    GetWindowTextA(edit, text, sizeof text);
    EXPECT_STREQ(text, "-7");  // signed
    EXPECT_EQ(GetFocus(), edit);

    SendMessageA(edit, EM_SETSEL, 0, 0);
    SendMessageA(page_, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), reinterpret_cast<LPARAM>(trackbar));
    EXPECT_FALSE(probe_.tracked);
    DWORD start = 9, end = 0;
    SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, 2u);
}

TEST_F(TabPageTest, UpDownThumbReportsDragTheTrackbarAndOtherScrollsAreIgnored) {
    HWND upDown = Control(IDC_TIMER_COUNTER_UPDOWN);
    HWND trackbar = Control(IDC_TIMER_COUNTER_TRACKBAR);
    SendMessageA(upDown, UDM_SETRANGE32, 0, 100);
    SendMessageA(upDown, UDM_SETPOS32, 0, 55);
    SendMessageA(page_, WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 55),
                 reinterpret_cast<LPARAM>(upDown));
    EXPECT_TRUE(probe_.tracked);
    EXPECT_EQ(probe_.position, 55);
    EXPECT_EQ(SendMessageA(trackbar, TBM_GETPOS, 0, 0), 55);

    SendMessageA(upDown, UDM_SETPOS32, 0, 60);
    SendMessageA(page_, WM_VSCROLL, MAKEWPARAM(SB_ENDSCROLL, 0), reinterpret_cast<LPARAM>(upDown));
    EXPECT_FALSE(probe_.tracked);
    EXPECT_EQ(SendMessageA(trackbar, TBM_GETPOS, 0, 0), 55);
    // A scroll report from another control is not the group's.
    SendMessageA(page_, WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 60),
                 reinterpret_cast<LPARAM>(trackbar));
    EXPECT_FALSE(probe_.tracked);
}

}  // namespace
}  // namespace kalendo
