// Entry of the stand-in ftd2xx.dll: the board is built from the environment at the first call
// (not here: the loader lock is held), and saved and closed when the library is unloaded.
// The DLL is the simulator's composition root, above every tier: it may include control/.
#include <windows.h>

#include "sim/control/evaluation_board.h"
#include "sim/control/library_startup.h"

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    switch (reason) {
        case DLL_PROCESS_ATTACH:
            kalendo::sim::EnableStartupFromEnvironment();
            break;
        case DLL_PROCESS_DETACH:
            kalendo::sim::Board().Shutdown();
            break;
        default:
            break;
    }
    return TRUE;
}
