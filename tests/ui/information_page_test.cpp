// The Information tab shows the model chosen in the main window from rtc_model_info.txt.
#include "resources/resource_ids.h"
#include "rtc/model_info.h"
#include "tests/ui/ui_fixture.h"

namespace kalendo {
namespace {

using InformationPageTest = MainWindowTest;

std::string ValueText(HWND page, int id) {
    char text[256] = {};
    GetDlgItemTextA(page, id, text, sizeof text);
    return text;
}

TEST_F(InformationPageTest, ShowsTheRecordOfTheChosenModel) {
    Start();
    HWND page = app_->Pages().Page(0)->Dialog();
    EXPECT_EQ(ValueText(page, IDC_INFO_MODEL), "Novar TQ5100");
    ChooseModel(1);
    ShowTab(1);
    ShowTab(0);
    EXPECT_EQ(ValueText(page, IDC_INFO_MODEL), "Novar TQ5200");
    EXPECT_EQ(ValueText(page, IDC_INFO_PACKAGE_SIZE), ModelTable()[1].fields[kModelPackageSize]);
    EXPECT_EQ(ValueText(page, IDC_INFO_INTERFACE), ModelTable()[1].fields[kModelInterface]);
}

TEST_F(InformationPageTest, MissingModelFileLeavesTheBoxAndTheValuesEmpty) {
    CreateDirectoryA("no_model_file", nullptr);
    ASSERT_TRUE(SetCurrentDirectoryA("no_model_file"));
    ModelTable() = ModelTableArray{};
    Start();
    EXPECT_EQ(SendMessageA(Item(IDC_MAIN_MODEL), CB_GETCOUNT, 0, 0), 0);
    EXPECT_EQ(Text(IDC_MAIN_INFO), "RTC changed to ");
    HWND page = app_->Pages().Page(0)->Dialog();
    EXPECT_EQ(ValueText(page, IDC_INFO_MODEL), "");
    EXPECT_EQ(ValueText(page, IDC_INFO_PACKAGE_SIZE), "");
}

}  // namespace
}  // namespace kalendo
