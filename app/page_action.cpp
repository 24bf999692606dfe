#include "app/page_action.h"

#include <string>

#include "app/status_text.h"

namespace kalendo {

PageAction::PageAction(HWND mainWindow, uint32_t budgetMs)
    : mainWindow_(mainWindow), bus_(budgetMs) {}

bool PageAction::Report(const char* successText, const char* failureText) {
    if (bus_.Ok()) {
        if (successText && *successText) ShowInformation(mainWindow_, successText);
        return true;
    }
    ReportFailure(failureText);
    return false;
}

void PageAction::ReportFailure(const char* failureText) {
    ShowInformation(mainWindow_, (std::string("ERROR: ") + failureText).c_str());
}

}  // namespace kalendo
