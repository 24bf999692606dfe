// A main window built by the real Application in the test process, and the user's actions on it
// as the messages a click, a tab change, a model choice or a timer tick send.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/application.h"

namespace kalendo {

class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Builds the Application (which opens the bridge) and creates the main window.
    void Start();
    // Closes the main window as the close box does and runs the loop to its WM_QUIT.
    void Close();

    std::string Text(int id) const;
    std::string TextOf(HWND window) const;
    void Click(int id);
    void Tick();
    void ChooseModel(int index);
    void ShowTab(int index);
    HWND Item(int id) const { return GetDlgItem(main_, id); }
    // The bitmap a picture control shows now.
    HBITMAP Picture(int id) const;
    bool ShowsGreenLamp(int id) const;
    // Every text put on the information line since Start or the last ForgetInformation, oldest
    // first: an action's own message is often replaced at once by the pages' reset.
    const std::vector<std::string>& InformationShown() const;
    void ForgetInformation();
    // True when the information line showed these texts in this order (others may come between).
    bool InformationShownInOrder(const std::vector<std::string>& texts) const;

    std::unique_ptr<Application> app_;
    HWND main_ = nullptr;

  private:
    HANDLE lock_ = nullptr;
    std::string markStore_;
};

// Registry helpers on the program's key.
void DeletePlacementKey();
bool ReadPlacementValue(const char* name, DWORD* value);
void WritePlacementValue(const char* name, DWORD type, const void* data, DWORD size);

// Average colour of a bitmap's pixels, to tell the green lamp from the red one.
COLORREF AverageColour(HBITMAP bitmap);

}  // namespace kalendo
