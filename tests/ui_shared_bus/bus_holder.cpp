// Another program on the same board: takes the bus mutex and keeps it until told to let go.
// Usage: kalendo_bus_holder <mutex name> <event set once held> <event that ends the hold>
#include <windows.h>

int main(int argc, char** argv) {
    if (argc != 4) {
        return 2;
    }
    HANDLE mutex = CreateMutexA(nullptr, FALSE, argv[1]);
    HANDLE held = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[2]);
    HANDLE release = OpenEventA(SYNCHRONIZE, FALSE, argv[3]);
    if (!mutex || !held || !release) {
        return 3;
    }
    const DWORD taken = WaitForSingleObject(mutex, 10000);
    if (taken != WAIT_OBJECT_0 && taken != WAIT_ABANDONED) {
        return 4;
    }
    SetEvent(held);
    // Bounded, so a test that dies cannot leave the bus held for ever.
    WaitForSingleObject(release, 600000);
    ReleaseMutex(mutex);
    CloseHandle(mutex);
    return 0;
}
