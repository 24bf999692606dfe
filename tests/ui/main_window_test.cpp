// The main window as the user meets it before any board is connected: placement in the registry,
// tabs and status lines, the model choice, the menu and the way the program ends.
#include <windows.h>

#include <commctrl.h>

#include "app/connection_state.h"
#include "resources/resource_ids.h"
#include "tests/ui/ui_fixture.h"

namespace kalendo {
namespace {

RECT WindowRectOf(HWND window) {
    RECT rect = {};
    GetWindowRect(window, &rect);
    return rect;
}

using PlacementTest = MainWindowTest;

TEST_F(PlacementTest, FirstStartUsesTemplateAndCloseCreatesTheFourValues) {
    Start();
    const RECT opened = WindowRectOf(main_);
    Close();
    DWORD left = 0, top = 0, right = 0, bottom = 0;
    ASSERT_TRUE(ReadPlacementValue("MainLeft", &left));
    ASSERT_TRUE(ReadPlacementValue("MainTop", &top));
    ASSERT_TRUE(ReadPlacementValue("MainRight", &right));
    ASSERT_TRUE(ReadPlacementValue("MainBottom", &bottom));
    EXPECT_EQ(static_cast<LONG>(left), opened.left);
    EXPECT_EQ(static_cast<LONG>(top), opened.top);
    EXPECT_EQ(static_cast<LONG>(right), opened.right);
    EXPECT_EQ(static_cast<LONG>(bottom), opened.bottom);
}

TEST_F(PlacementTest, RestoresPositionButKeepsTemplateSize) {
    Start();
    const RECT template_ = WindowRectOf(main_);
    Close();
    const DWORD values[4] = {40, 60, 45, 65};  // right and bottom disagree with the size
    const char* names[4] = {"MainLeft", "MainTop", "MainRight", "MainBottom"};
    for (int i = 0; i < 4; ++i) {
        WritePlacementValue(names[i], REG_DWORD, &values[i], sizeof values[i]);
    }
    Start();
    const RECT restored = WindowRectOf(main_);
    EXPECT_EQ(restored.left, 40);
    EXPECT_EQ(restored.top, 60);
    EXPECT_EQ(restored.right - restored.left, template_.right - template_.left);
    EXPECT_EQ(restored.bottom - restored.top, template_.bottom - template_.top);
}

TEST_F(PlacementTest, RectangleOnNoMonitorMovesToSixteenSixteen) {
    Start();
    const RECT template_ = WindowRectOf(main_);
    Close();
    const LONG width = template_.right - template_.left;
    const LONG height = template_.bottom - template_.top;
    const LONG offscreen = -30000;  // a monitor that has been removed
    const DWORD values[4] = {static_cast<DWORD>(offscreen), static_cast<DWORD>(offscreen),
                             static_cast<DWORD>(offscreen + width),
                             static_cast<DWORD>(offscreen + height)};
    const char* names[4] = {"MainLeft", "MainTop", "MainRight", "MainBottom"};
    for (int i = 0; i < 4; ++i) {
        WritePlacementValue(names[i], REG_DWORD, &values[i], sizeof values[i]);
    }
    Start();
    const RECT restored = WindowRectOf(main_);
    EXPECT_EQ(restored.left, 16);
    EXPECT_EQ(restored.top, 16);
    EXPECT_EQ(restored.right - restored.left, width);
}

TEST_F(PlacementTest, ValuesOfTheWrongTypeOrSizeKeepTheTemplateCoordinate) {
    Start();
    const RECT template_ = WindowRectOf(main_);
    Close();
    DeletePlacementKey();
    const char text[] = "120";
    WritePlacementValue("MainLeft", REG_SZ, text, sizeof text);
    const ULONGLONG wide = 130;
    WritePlacementValue("MainTop", REG_QWORD, &wide, sizeof wide);
    Start();
    const RECT restored = WindowRectOf(main_);
    EXPECT_EQ(restored.left, template_.left);
    EXPECT_EQ(restored.top, template_.top);

    // A bad left next to a proper top: each coordinate is judged on its own. (Closing stored all
    // four as DWORDs, so the left is spoiled again.)
    const DWORD top = 90;
    Close();
    WritePlacementValue("MainLeft", REG_SZ, text, sizeof text);
    WritePlacementValue("MainTop", REG_DWORD, &top, sizeof top);
    Start();
    EXPECT_EQ(WindowRectOf(main_).left, template_.left);
    EXPECT_EQ(WindowRectOf(main_).top, 90);
}

TEST_F(PlacementTest, ClosingWhileMaximisedSavesTheLastNormalRectangle) {
    Start();
    SetWindowPos(main_, nullptr, 50, 70, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    const RECT normal = WindowRectOf(main_);
    ShowWindow(main_, SW_MAXIMIZE);
    Close();
    DWORD left = 0, top = 0;
    ASSERT_TRUE(ReadPlacementValue("MainLeft", &left));
    ASSERT_TRUE(ReadPlacementValue("MainTop", &top));
    EXPECT_EQ(static_cast<LONG>(left), normal.left);
    EXPECT_EQ(static_cast<LONG>(top), normal.top);
}

TEST_F(MainWindowTest, StartsUnconnectedWithRedLampsOnTheInformationTab) {
    Start();
    for (int id : {IDC_MAIN_RTC_TIME, IDC_MAIN_RTC_DATE, IDC_MAIN_RTC_TEMP}) {
        EXPECT_EQ(Text(id), "Unconnected") << id;
    }
    Tick();
    for (int id : {IDC_MAIN_BOARD_LAMP, IDC_MAIN_FOUT_LAMP, IDC_MAIN_BATTERY_LAMP}) {
        EXPECT_FALSE(ShowsGreenLamp(id)) << id;
    }
    EXPECT_EQ(Text(IDC_MAIN_CONNECT), "Connect");
    EXPECT_EQ(Text(IDC_MAIN_BOARD_TEXT), "Board Disconnected");
    EXPECT_EQ(Text(IDC_MAIN_STATUS), "Information Tab");
    EXPECT_EQ(Text(IDC_MAIN_INFO), "RTC changed to Novar TQ5100");
    EXPECT_EQ(Text(IDC_MAIN_RTC_TIME), "Unconnected");
}

TEST_F(MainWindowTest, SixTabsInOrderAndOnlyTheShownPageIsVisible) {
    Start();
    const char* captions[] = {"Information", "Time and Date", "Alarm",
                              "Timer",       "Registers",     "Power and FOUT"};
    HWND tab = Item(IDC_MAIN_TAB);
    ASSERT_EQ(SendMessageA(tab, TCM_GETITEMCOUNT, 0, 0), 6);
    ASSERT_EQ(app_->Pages().PageCount(), 6u);
    for (int i = 0; i < 6; ++i) {
        char text[64] = {};
        TCITEMA item = {};
        item.mask = TCIF_TEXT;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        SendMessageA(tab, TCM_GETITEMA, i, reinterpret_cast<LPARAM>(&item));
        EXPECT_STREQ(text, captions[i]);
        HWND page = app_->Pages().Page(i)->Dialog();
        ASSERT_TRUE(IsWindow(page)) << captions[i];
        EXPECT_EQ(GetParent(page), tab);
        EXPECT_EQ(IsWindowVisible(page) != FALSE, i == 0) << captions[i];
    }
}

TEST_F(MainWindowTest, SwitchingTabsNamesTheTabAndClearsTheInformationLine) {
    Start();
    struct {
        int index;
        const char* status;
    } cases[] = {{1, "Time and Date Tab"}, {5, "Power and FOUT Tab"}, {0, "Information Tab"}};
    for (const auto& c : cases) {
        SetWindowTextA(Item(IDC_MAIN_INFO), "something earlier");
        ShowTab(c.index);
        EXPECT_EQ(Text(IDC_MAIN_STATUS), c.status);
        EXPECT_EQ(Text(IDC_MAIN_INFO), "");
        for (size_t i = 0; i < app_->Pages().PageCount(); ++i) {
            EXPECT_EQ(IsWindowVisible(app_->Pages().Page(i)->Dialog()) != FALSE,
                      static_cast<int>(i) == c.index);
        }
    }
}

TEST_F(MainWindowTest, ChoosingTheTq5200HidesTheTemperatureAndOtherModelsShowIt) {
    Start();
    ASSERT_GE(SendMessageA(Item(IDC_MAIN_MODEL), CB_GETCOUNT, 0, 0), 2);
    ChooseModel(1);
    EXPECT_TRUE(InformationShownInOrder({"RTC changed to Novar TQ5200"}))
        << ::testing::PrintToString(InformationShown());
    EXPECT_EQ(Tq5200Selected, 1);
    for (int id : {IDC_MAIN_RTC_TEMP, IDC_MAIN_TEMP_LABEL, IDC_MAIN_TEMP_UNIT}) {
        EXPECT_FALSE(IsWindowVisible(Item(id))) << id;
    }
    ChooseModel(0);
    EXPECT_EQ(Tq5200Selected, 0);
    for (int id : {IDC_MAIN_RTC_TEMP, IDC_MAIN_TEMP_LABEL, IDC_MAIN_TEMP_UNIT}) {
        EXPECT_TRUE(IsWindowVisible(Item(id))) << id;
    }
}

TEST_F(MainWindowTest, HelpMenuHoldsItsThreeItemsAndShowsTheFormattedAboutItemWhenItOpens) {
    Start();
    HMENU bar = GetMenu(main_);
    ASSERT_EQ(GetMenuItemCount(bar), 3);  // File, Check, Help
    HMENU help = GetSubMenu(bar, 2);
    ASSERT_EQ(GetMenuItemCount(help), 3);  // no separator
    const UINT ids[] = {IDM_HELP_QUICK, IDM_HELP_LICENSE, IDM_HELP_ABOUT};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(GetMenuItemID(help, i), ids[i]) << i;
    }
    char text[64] = {};
    GetMenuStringA(help, IDM_HELP_ABOUT, text, sizeof text, MF_BYCOMMAND);
    ASSERT_STREQ(text, "&About xxx...");
    SendMessageA(main_, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(help), MAKELPARAM(1, 0));
    GetMenuStringA(help, IDM_HELP_ABOUT, text, sizeof text, MF_BYCOMMAND);
    EXPECT_STREQ(text, "&About Kalendo Tool...");
    // The File menu has no About item and is left alone.
    HMENU file = GetSubMenu(GetMenu(main_), 0);
    SendMessageA(main_, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(file), MAKELPARAM(0, 0));
    EXPECT_EQ(GetMenuItemCount(file), 1);
}

// The Check menu's one item, and its help on the status line while it is highlighted.
TEST_F(MainWindowTest, CheckMenuOpensTheDataSheetCheckAndSaysWhatItDoesWhileHighlighted) {
    Start();
    HMENU check = GetSubMenu(GetMenu(main_), 1);
    ASSERT_EQ(GetMenuItemCount(check), 1);
    EXPECT_EQ(GetMenuItemID(check, 0), static_cast<UINT>(IDM_CHECK_DATASHEET));
    char text[64] = {};
    GetMenuStringA(check, IDM_CHECK_DATASHEET, text, sizeof text, MF_BYCOMMAND);
    EXPECT_STREQ(text, "&Data Sheet Check...");
    const std::string before = Text(IDC_MAIN_STATUS);
    SendMessageA(main_, WM_MENUSELECT, MAKEWPARAM(IDM_CHECK_DATASHEET, MF_HILITE),
                 reinterpret_cast<LPARAM>(check));
    EXPECT_EQ(Text(IDC_MAIN_STATUS), "Measure the RTC against its data sheet");
    SendMessageA(main_, WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);  // the menu closes
    EXPECT_EQ(Text(IDC_MAIN_STATUS), before);
    SendMessageA(main_, WM_COMMAND, MAKEWPARAM(IDM_CHECK_DATASHEET, 0), 0);
    HWND window = app_->CheckWindow().Dialog();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(TextOf(window), "Data Sheet Check");
}

// Read from inside the About box's own modal loop, then ended with Escape.
std::string aboutTexts;
void CALLBACK ReadAndEndAboutBox(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND about = FindWindowA(nullptr, "About Novar Kalendo Tool");
    if (!about) {
        return;
    }
    KillTimer(nullptr, timer);
    char text[128] = {};
    for (int id : {IDC_ABOUT_BUILD, IDC_ABOUT_VERSION, IDC_ABOUT_TEXT}) {
        GetDlgItemTextA(about, id, text, sizeof text);
        aboutTexts += std::string(text) + "|";
    }
    SendMessageA(about, WM_COMMAND, IDCANCEL, 0);
}

TEST_F(MainWindowTest, AboutBoxShowsBuildVersionAndEndsWithEscape) {
    Start();
    aboutTexts.clear();
    SetTimer(nullptr, 0, 50, ReadAndEndAboutBox);
    SendMessageA(main_, WM_COMMAND, MAKEWPARAM(IDM_HELP_ABOUT, 0), 0);
    EXPECT_EQ(aboutTexts, "BUILD 13|2.00|\nKalendo Tool for Novar RTCs \n\n|");
    EXPECT_TRUE(IsWindowEnabled(main_));
}

TEST_F(MainWindowTest, FileExitEndsTheLoopWithExitCodeZero) {
    Start();
    SendMessageA(main_, WM_COMMAND, MAKEWPARAM(IDM_FILE_EXIT, 0), 0);
    EXPECT_TRUE(IsWindow(main_));  // posted, not yet handled
    EXPECT_EQ(app_->RunMessageLoop(), 0);
    EXPECT_FALSE(IsWindow(main_));
    main_ = nullptr;
}

TEST_F(MainWindowTest, RunReturnsOneAndShowsNothingWhenTheClassCannotBeRegistered) {
    WNDCLASSA taken = {};
    taken.lpfnWndProc = DefWindowProcA;
    taken.hInstance = GetModuleHandleA(nullptr);
    taken.lpszClassName = kMainWindowClass;
    ASSERT_TRUE(RegisterClassA(&taken));
    {
        Application app;
        EXPECT_EQ(app.Run(GetModuleHandleA(nullptr), SW_SHOWNORMAL), 1);
        EXPECT_EQ(app.MainWindow(), nullptr);
    }
    UnregisterClassA(kMainWindowClass, GetModuleHandleA(nullptr));
}

}  // namespace
}  // namespace kalendo
