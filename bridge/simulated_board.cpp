#include "bridge/simulated_board.h"

#include "bridge/bridge_state.h"
#include "bridge/os_seam.h"

namespace kalendo {

bool LoadedLibraryIsSimulatedBoard() {
    void* library = Bridge().libraryHandle;
    return library && Os().FindSymbol(library, kSimulatedBoardExport) != nullptr;
}

}  // namespace kalendo
