// Another program on the same board: takes the bus mutex and keeps it until told to let go.
// Usage: kalendo_bus_holder <mutex name> <event set once held> <event that ends the hold>
//    or: kalendo_bus_holder <mutex name> --while <file>
// The second form, for shell scripts that have no events: once the mutex is held it creates
// the file, and it lets go when the file is gone.
#include <windows.h>

#include <cstring>

namespace {

int HoldWhileFileExists(HANDLE mutex, const char* file) {
    HANDLE marker = CreateFileA(file, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (marker == INVALID_HANDLE_VALUE) {
        ReleaseMutex(mutex);
        return 3;
    }
    CloseHandle(marker);
    // Bounded, so a script that dies cannot leave the bus held for ever.
    for (int i = 0; i < 6000 && GetFileAttributesA(file) != INVALID_FILE_ATTRIBUTES; ++i) {
        Sleep(20);
    }
    ReleaseMutex(mutex);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        return 2;
    }
    HANDLE mutex = CreateMutexA(nullptr, FALSE, argv[1]);
    if (!mutex) {
        return 3;
    }
    const bool whileFile = std::strcmp(argv[2], "--while") == 0;
    HANDLE held = whileFile ? nullptr : OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[2]);
    HANDLE release = whileFile ? nullptr : OpenEventA(SYNCHRONIZE, FALSE, argv[3]);
    if (!whileFile && (!held || !release)) {
        return 3;
    }
    const DWORD taken = WaitForSingleObject(mutex, 10000);
    if (taken != WAIT_OBJECT_0 && taken != WAIT_ABANDONED) {
        return 4;
    }
    if (whileFile) {
        const int status = HoldWhileFileExists(mutex, argv[3]);
        CloseHandle(mutex);
        return status;
    }
    SetEvent(held);
    // Bounded, so a test that dies cannot leave the bus held for ever.
    WaitForSingleObject(release, 600000);
    ReleaseMutex(mutex);
    CloseHandle(mutex);
    return 0;
}
