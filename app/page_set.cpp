#include "app/page_set.h"

#include <commctrl.h>

// The page set is the shell's composition root: the one place app/ may reach up into pages/.
#include "pages/page_factory.h"

namespace kalendo {

namespace {

// Creation codes in tab order: the Information page comes first although its code is 2 (kept on
// purpose: the codes are the pages' identities, the order is the tabs').
constexpr int kPageOrder[] = {2, 1, 3, 4, 5, 6};

}  // namespace

PageSet::PageSet() {
    pages_.reserve(sizeof kPageOrder / sizeof kPageOrder[0]);
    for (int code : kPageOrder) {
        if (TabPage* page = MakePage(code)) {
            pages_.emplace_back(page);
        }
    }
}

PageSet::~PageSet() {
    for (auto& page : pages_) {
        page.reset();
    }
    pages_.clear();
}

TabPage* PageSet::Page(size_t index) const {
    return index < pages_.size() ? pages_[index].get() : nullptr;
}

size_t PageSet::CurrentSelection() const {
    if (!tabControl_) {
        return static_cast<size_t>(-1);
    }
    return static_cast<size_t>(
        static_cast<unsigned>(SendMessageA(tabControl_, TCM_GETCURSEL, 0, 0)));
}

HWND PageSet::SelectedPageDialog() const {
    const TabPage* page = Page(CurrentSelection());
    return page ? page->Dialog() : nullptr;
}

bool PageSet::CreatePageDialogs(HWND tabControl, HWND owner) {
    if (tabControl_) {
        return false;
    }
    tabControl_ = tabControl;
    owner_ = owner;
    SendMessageA(tabControl_, TCM_DELETEALLITEMS, 0, 0);
    HINSTANCE instance =
        reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(tabControl_, GWLP_HINSTANCE));
    for (size_t i = 0; i < pages_.size(); ++i) {
        TabPage* page = pages_[i].get();
        TCITEMA item = {};
        item.mask = TCIF_TEXT | TCIF_IMAGE;
        item.pszText = const_cast<char*>(page->Caption());
        item.iImage = -1;
        if (SendMessageA(tabControl_, TCM_INSERTITEMA, i, reinterpret_cast<LPARAM>(&item)) == -1) {
            DestroyWindow(tabControl_);
            tabControl_ = nullptr;
            return false;
        }
        HWND dialog = CreateDialogParamA(instance, MAKEINTRESOURCEA(page->DialogId()), tabControl_,
                                         TabPage::PageDialogProc, reinterpret_cast<LPARAM>(page));
        // Only now: a page's WM_INITDIALOG runs without an owner and writes nowhere.
        page->SetOwner(owner_);
        if (dialog) {
            RECT area = {};
            GetClientRect(tabControl_, &area);
            SendMessageA(tabControl_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
            SetWindowPos(dialog, nullptr, area.left, area.top, area.right - area.left,
                         area.bottom - area.top, SWP_HIDEWINDOW | SWP_NOZORDER);
        }
    }
    if (!pages_.empty() && pages_[0]->Dialog()) {
        SetWindowPos(pages_[0]->Dialog(), nullptr, 0, 0, 0, 0,
                     SWP_SHOWWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER);
        pages_[0]->OnShow();
    }
    InvalidateRect(tabControl_, nullptr, TRUE);
    UpdateWindow(tabControl_);
    return true;
}

void PageSet::ShowPage(size_t index, bool show) {
    TabPage* page = Page(index);
    if (!page || !page->Dialog()) {
        return;
    }
    if (show) {
        SetWindowPos(page->Dialog(), nullptr, 0, 0, 0, 0,
                     SWP_SHOWWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER);
        page->OnShow();
    } else {
        page->OnHide();
        SetWindowPos(page->Dialog(), HWND_BOTTOM, 0, 0, 0, 0,
                     SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE);
    }
}

bool PageSet::HandleNotify(NMHDR* header) {
    if (!header) {
        return false;
    }
    const bool fromTab = tabControl_ && header->hwndFrom == tabControl_;
    switch (header->code) {
        case TCN_SELCHANGING:
            if (!fromTab) {
                return false;
            }
            ShowPage(CurrentSelection(), false);
            return true;
        case TCN_SELCHANGE:
            if (!fromTab) {
                return false;
            }
            ShowPage(CurrentSelection(), true);
            return true;
        case TTN_GETDISPINFOA: {
            auto* info = reinterpret_cast<NMTTDISPINFOA*>(header);
            // The tab control asks with the tab index; the main window's own tools ask with control
            // handles, whose ids are far above the page count and fall through.
            const UINT_PTR id =
                (info->uFlags & TTF_IDISHWND)
                    ? static_cast<UINT_PTR>(GetDlgCtrlID(reinterpret_cast<HWND>(header->idFrom)))
                    : header->idFrom;
            if (id < pages_.size()) {
                info->lpszText = const_cast<char*>(pages_[id]->TabTip());
                return true;
            }
            return false;
        }
        default:
            return false;
    }
}

void PageSet::ResetAll() {
    for (auto& page : pages_) {
        page->Reset();
    }
}

void PageSet::CloseAll() {
    for (auto& page : pages_) {
        page->OnClose();
    }
}

void PageSet::EnablePages(bool enable) {
    for (size_t i = 0; i < pages_.size(); ++i) {
        if (TabPage* page = Page(i); page && page->Dialog()) EnableWindow(page->Dialog(), enable);
    }
}

const char* PageSet::CurrentCaption() const {
    const TabPage* page = Page(CurrentSelection());
    return page ? page->Caption() : "";
}

}  // namespace kalendo
