#include "cli/interrupt_request.h"

#include <atomic>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#endif

namespace kalendo::cli {

namespace {

// Set from the console's control thread (Windows) or a signal handler: a lock-free atomic.
std::atomic<bool> requested{false};

#ifdef _WIN32
BOOL WINAPI OnConsoleControl(DWORD type) {
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) return FALSE;
    requested = true;
    return TRUE;  // handled: the process goes on and reports
}
#else
void (*previousHandler)(int) = SIG_DFL;
extern "C" void OnInterruptSignal(int) {
    requested = true;
}
#endif

}  // namespace

InterruptRequest::InterruptRequest() {
    requested = false;
#ifdef _WIN32
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
#else
    previousHandler = std::signal(SIGINT, OnInterruptSignal);
#endif
}

InterruptRequest::~InterruptRequest() {
#ifdef _WIN32
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
#else
    std::signal(SIGINT, previousHandler == SIG_ERR ? SIG_DFL : previousHandler);
#endif
}

bool InterruptRequest::Requested() const {
    return requested;
}

}  // namespace kalendo::cli
