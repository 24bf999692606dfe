// When the board is built from the environment. In the stand-in DLL this happens at the first
// call of any entry point or control function; native tests configure the board themselves and
// leave this off.
#pragma once

namespace kalendo::sim {

// Turns on building the board from the environment at the first call, and polling the control
// file before every library call.
void EnableStartupFromEnvironment();
// Builds the board once, if enabled; later calls do nothing.
void EnsureBoardStarted();

}  // namespace kalendo::sim
