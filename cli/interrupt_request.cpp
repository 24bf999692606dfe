#include "cli/interrupt_request.h"

#include <atomic>
#include <csignal>

#ifdef _WIN32
#include <windows.h>
#endif

namespace kalendo::cli {

namespace {

// Set from the console's control thread (Windows) or a signal handler: a lock-free atomic.
std::atomic<bool> requested{false};
void (*previousHandler)(int) = SIG_DFL;

extern "C" void OnInterruptSignal(int) {
    requested = true;
    // The Windows C library puts the default back before calling a handler: a second SIGINT while
    // the supply is being put back would end the program there.
    std::signal(SIGINT, OnInterruptSignal);
}

#ifdef _WIN32
// Ctrl-C and Ctrl-Break reach a console program here first; SIGINT (raise) goes through the
// C library's handler below.
BOOL WINAPI OnConsoleControl(DWORD type) {
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) return FALSE;
    requested = true;
    return TRUE;  // handled: the process goes on and reports
}
#endif

}  // namespace

InterruptRequest::InterruptRequest() {
    requested = false;
    previousHandler = std::signal(SIGINT, OnInterruptSignal);
#ifdef _WIN32
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
#endif
}

InterruptRequest::~InterruptRequest() {
#ifdef _WIN32
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
#endif
    std::signal(SIGINT, previousHandler == SIG_ERR ? SIG_DFL : previousHandler);
}

bool InterruptRequest::Requested() const {
    return requested;
}

}  // namespace kalendo::cli
