// The six page objects and their dialogs inside the main window's tab control.
#pragma once

#include <windows.h>

#include <cstddef>
#include <memory>
#include <vector>

#include "app/tab_page.h"

namespace kalendo {

class PageSet {
  public:
    PageSet();  // makes the page objects, without windows, in tab order
    PageSet(const PageSet&) = delete;
    PageSet& operator=(const PageSet&) = delete;
    virtual ~PageSet();

    bool CreatePageDialogs(HWND tabControl, HWND owner);
    bool HandleNotify(NMHDR* header);
    void ResetAll();
    void CloseAll();
    const char* CurrentCaption() const;
    void ShowPage(size_t index, bool show);
    // Every page dialog takes input (true) or none (false); the tabs stay selectable.
    void EnablePages(bool enable);

    HWND TabControl() const { return tabControl_; }
    size_t PageCount() const { return pages_.size(); }
    TabPage* Page(size_t index) const;
    // The dialog of the selected tab's page, or null with no valid selection.
    HWND SelectedPageDialog() const;

  private:
    size_t CurrentSelection() const;  // TCM_GETCURSEL taken as unsigned

    HWND tabControl_ = nullptr;
    HWND owner_ = nullptr;
    std::vector<std::unique_ptr<TabPage>> pages_;
};

}  // namespace kalendo
