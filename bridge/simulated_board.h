// Whether the bound ftd2xx.dll is the project's simulated evaluation board rather than the
// vendor's library: a demo folder used with a real board would otherwise show simulated values
// as the board's.
#pragma once

namespace kalendo {

// The simulated library exports its control functions besides the 17 entry points; the vendor's
// has none of them. False while no library is bound.
bool LoadedLibraryIsSimulatedBoard();

// The export that tells them apart.
constexpr const char* kSimulatedBoardExport = "KalendoSim_Execute";

}  // namespace kalendo
