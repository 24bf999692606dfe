// Drives a running Kalendo from another process, for the run and screenshot scripts:
//   kalendo_remote wait            wait until the main window is up
//   kalendo_remote connect         press Connect and wait until the board is connected
//   kalendo_remote model N         choose entry N of the RTC model box
//   kalendo_remote tab N           show tab N (0 = Information ... 5 = Power and FOUT)
//   kalendo_remote close           close the main window as its close box does
// Prints the information line after each command; exit code 0 on success, 1 on failure.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kConnectButton = 1871;
constexpr int kModelBox = 1806;
constexpr int kTabControl = 1007;
constexpr int kInformationLine = 1009;
constexpr int kWaitStepMs = 100;
constexpr int kWaitLimitMs = 15000;

HWND FindMainWindow() {
    for (int waited = 0; waited < kWaitLimitMs; waited += kWaitStepMs) {
        if (HWND window = FindWindowA("KALENDO", nullptr)) {
            return window;
        }
        Sleep(kWaitStepMs);
    }
    return nullptr;
}

void Text(HWND window, int id, char* text, int size) {
    text[0] = '\0';
    GetDlgItemTextA(window, id, text, size);
}

bool Connect(HWND main) {
    char text[64];
    Text(main, kConnectButton, text, sizeof text);
    if (std::strcmp(text, "Disconnect") == 0) {
        return true;
    }
    SendMessageA(GetDlgItem(main, kConnectButton), BM_CLICK, 0, 0);
    for (int waited = 0; waited < kWaitLimitMs; waited += kWaitStepMs) {
        Text(main, kConnectButton, text, sizeof text);
        if (std::strcmp(text, "Disconnect") == 0) {
            return true;
        }
        Sleep(kWaitStepMs);
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: kalendo_remote wait|connect|model N|tab N|close\n");
        return 1;
    }
    HWND main = FindMainWindow();
    if (!main) {
        std::fprintf(stderr, "kalendo_remote: no Kalendo window found\n");
        return 1;
    }
    const char* command = argv[1];
    const int number = argc > 2 ? std::atoi(argv[2]) : 0;
    bool ok = true;
    if (std::strcmp(command, "connect") == 0) {
        ok = Connect(main);
    } else if (std::strcmp(command, "model") == 0) {
        HWND box = GetDlgItem(main, kModelBox);
        ok = SendMessageA(box, CB_SETCURSEL, number, 0) == number;
        SendMessageA(main, WM_COMMAND, MAKEWPARAM(kModelBox, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(box));
    } else if (std::strcmp(command, "tab") == 0) {
        // Sends TCN_SELCHANGING and TCN_SELCHANGE to the main window, as a click does.
        SendMessageA(GetDlgItem(main, kTabControl), TCM_SETCURFOCUS, number, 0);
        ok = SendMessageA(GetDlgItem(main, kTabControl), TCM_GETCURSEL, 0, 0) == number;
    } else if (std::strcmp(command, "close") == 0) {
        PostMessageA(main, WM_CLOSE, 0, 0);
        return 0;
    } else if (std::strcmp(command, "wait") != 0) {
        std::fprintf(stderr, "kalendo_remote: unknown command %s\n", command);
        return 1;
    }
    char line[256];
    Text(main, kInformationLine, line, sizeof line);
    std::printf("%s\n", line);
    return ok ? 0 : 1;
}
