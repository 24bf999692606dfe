// Entry of the stand-in libftd2xx.so: the board is built from the environment at the first call,
// and saved and closed when the library is unloaded or the process exits. Like the DLL's entry,
// this is the simulator's composition root, above every tier: it may include control/.
#include "sim/control/evaluation_board.h"
#include "sim/control/library_startup.h"

namespace {

__attribute__((constructor)) void OnLibraryLoaded() {
    kalendo::sim::EnableStartupFromEnvironment();
}

__attribute__((destructor)) void OnLibraryUnloaded() {
    kalendo::sim::Board().Shutdown();
}

}  // namespace
