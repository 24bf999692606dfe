// Tooltip text requests as the tooltip windows send them, for the main window's controls, a
// page's controls and the tab headers, and the undoing of the static-control subclassing.
#include <windows.h>

#include <commctrl.h>

#include "app/tooltip_set.h"
#include "resources/resource_ids.h"
#include "tests/ui/ui_fixture.h"

namespace kalendo {
namespace {

// Sends the request a tooltip window sends to `parent` for a tool; returns the text supplied.
std::string AskTip(HWND parent, HWND tooltipWindow, UINT_PTR id, UINT flags) {
    NMTTDISPINFOA info = {};
    info.hdr.hwndFrom = tooltipWindow;
    info.hdr.idFrom = id;
    info.hdr.code = TTN_GETDISPINFOA;
    info.uFlags = flags;
    SendMessageA(parent, WM_NOTIFY, id, reinterpret_cast<LPARAM>(&info));
    return info.lpszText ? info.lpszText : "";
}

// The tip a tooltip window shows for a mouse resting at pt in window (client coordinates), as its
// hit test finds it; "(no tool)" when no tool covers the point.
std::string HoverTip(HWND tooltipWindow, HWND window, POINT pt) {
    char text[1024] = {};  // the tooltip copies up to this many characters
    TTHITTESTINFOA hit = {};
    hit.hwnd = window;
    hit.pt = pt;
    hit.ti.cbSize = TTTOOLINFOA_V2_SIZE;
    hit.ti.lpszText = text;
    if (!SendMessageA(tooltipWindow, TTM_HITTESTA, 0, reinterpret_cast<LPARAM>(&hit))) {
        return "(no tool)";
    }
    return text;
}

bool TabControlHasTools(HWND tab) {
    HWND tips = reinterpret_cast<HWND>(SendMessageA(tab, TCM_GETTOOLTIPS, 0, 0));
    return tips && SendMessageA(tips, TTM_GETTOOLCOUNT, 0, 0) > 0;
}

using TooltipsTest = MainWindowTest;

TEST_F(TooltipsTest, MainWindowControlsAnswerFromTheMainTable) {
    Start();
    HWND tips = app_->MainTooltips().TooltipWindow();
    ASSERT_NE(tips, nullptr);
    // Where the tab control has no tools of its own, its six tab headers are tools here too.
    const LRESULT tabTools = TabControlHasTools(Item(IDC_MAIN_TAB)) ? 0 : 6;
    EXPECT_EQ(SendMessageA(tips, TTM_GETTOOLCOUNT, 0, 0), 11 + tabTools);
    struct {
        int id;
        const char* text;
    } cases[] = {
        {IDC_MAIN_CONNECT, "Connects the Kalendo Board"},
        {IDC_MAIN_BOARD_LAMP, "Board Status: Green = Connected, Red = Disconnected"},
        {IDC_MAIN_MODEL, "Select the RTC device"},
        {IDC_MAIN_INFO, "Program Information"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AskTip(main_, tips, reinterpret_cast<UINT_PTR>(Item(c.id)), TTF_IDISHWND),
                  c.text);
    }
}

TEST_F(TooltipsTest, PageControlsAnswerFromThePageTable) {
    Start();
    HWND page = app_->Pages().Page(0)->Dialog();
    HWND tips = app_->Pages().Page(0)->Tooltips()->TooltipWindow();
    ASSERT_NE(tips, nullptr);
    EXPECT_EQ(SendMessageA(tips, TTM_GETTOOLCOUNT, 0, 0), 24);
    EXPECT_EQ(AskTip(page, tips, reinterpret_cast<UINT_PTR>(GetDlgItem(page, IDC_INFO_TEMP_RANGE)),
                     TTF_IDISHWND),
              "Operating Temperature Range, in \xB0"
              "C");
    // A plain label with id -1 is no tool and gets nothing.
    EXPECT_EQ(AskTip(page, tips, static_cast<UINT_PTR>(-1), 0), "");
}

TEST_F(TooltipsTest, TabHeadersAnswerWithThePagesTabTip) {
    Start();
    HWND tabTips = reinterpret_cast<HWND>(SendMessageA(Item(IDC_MAIN_TAB), TCM_GETTOOLTIPS, 0, 0));
    EXPECT_EQ(AskTip(main_, tabTips, 5, 0), "Power Module and FOUT Settings");
    EXPECT_EQ(AskTip(main_, tabTips, 0, 0), "RTC Information Display");
}

TEST_F(TooltipsTest, HoveringATabHeaderShowsThePagesTabTip) {
    Start();
    HWND tab = Item(IDC_MAIN_TAB);
    // Windows' tab control asks for the tip itself (the test above); Wine's registers no tools,
    // and then the main window's set carries the headers.
    HWND tips = TabControlHasTools(tab)
                    ? reinterpret_cast<HWND>(SendMessageA(tab, TCM_GETTOOLTIPS, 0, 0))
                    : app_->MainTooltips().TooltipWindow();
    const bool answersByRequest = TabControlHasTools(tab);
    for (size_t i = 0; i < app_->Pages().PageCount(); ++i) {
        RECT header = {};
        ASSERT_TRUE(SendMessageA(tab, TCM_GETITEMRECT, i, reinterpret_cast<LPARAM>(&header)));
        const POINT middle = {(header.left + header.right) / 2, (header.top + header.bottom) / 2};
        const std::string expected = app_->Pages().Page(i)->TabTip();
        if (answersByRequest) {
            EXPECT_EQ(AskTip(main_, tips, i, 0), expected);
        } else {
            EXPECT_EQ(HoverTip(tips, tab, middle), expected) << i;
        }
    }
    // Below the headers, over the page, no header's tip.
    RECT client = {};
    GetClientRect(tab, &client);
    const POINT low = {client.right / 2, client.bottom - 5};
    EXPECT_EQ(HoverTip(app_->MainTooltips().TooltipWindow(), tab, low), "(no tool)");
    Close();  // the teardown removes the header tools with the rest
}

TEST_F(TooltipsTest, StaticsAreSubclassedWhileTheSetLivesAndRestoredAfterTeardown) {
    Start();
    TabPage* info = app_->Pages().Page(0);
    HWND label = GetDlgItem(info->Dialog(), IDC_INFO_VCLK_LABEL);
    const auto staticProc = GetClassLongPtrA(label, GCLP_WNDPROC);
    EXPECT_NE(GetPropA(label, kTooltipPropName), nullptr);
    EXPECT_NE(GetWindowLongPtrA(label, GWLP_WNDPROC), staticProc);
    // Statics must catch the mouse for the tooltip window to see the hover.
    EXPECT_EQ(SendMessageA(label, WM_NCHITTEST, 0, 0), HTCLIENT);

    info->OnClose();
    EXPECT_EQ(GetPropA(label, kTooltipPropName), nullptr);
    EXPECT_EQ(GetWindowLongPtrA(label, GWLP_WNDPROC), staticProc);
    EXPECT_EQ(info->Tooltips(), nullptr);
}

TEST(TooltipSetTest, FirstRowWinsAndNullTextsAndMissingParentsAreHarmless) {
    const TooltipRow rows[] = {{1871, "first"}, {1871, "second"}, {1872, nullptr}};
    TooltipSet set;
    EXPECT_EQ(set.Build(rows, nullptr, 3), nullptr);
    EXPECT_EQ(set.Build(nullptr, GetDesktopWindow(), 3), nullptr);
    EXPECT_EQ(set.SupplyText(nullptr), -1);

    HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(parent, nullptr);
    // Wine reports an enumeration over no children as a failure, and the set then tears down.
    HWND child = CreateWindowExA(0, "BUTTON", "", WS_CHILD, 0, 0, 10, 10, parent,
                                 reinterpret_cast<HMENU>(1871), GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(child, nullptr);
    ASSERT_NE(set.Build(rows, parent, 3), nullptr);
    NMTTDISPINFOA info = {};
    info.hdr.idFrom = 1871;
    EXPECT_EQ(set.SupplyText(&info), 1871);
    EXPECT_STREQ(info.lpszText, "first");
    info = {};
    info.hdr.idFrom = 1872;
    info.lpszText = const_cast<char*>("unchanged");
    EXPECT_EQ(set.SupplyText(&info), 1872);
    EXPECT_EQ(info.lpszText, nullptr);
    set.Teardown();
    EXPECT_EQ(set.TooltipWindow(), nullptr);
    set.Teardown();  // a second teardown of an empty set does nothing
    DestroyWindow(parent);
}

}  // namespace
}  // namespace kalendo
