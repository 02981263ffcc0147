// The program proper, started by the target's entry point (WinMain on
// Win32, main on the simulated machine) once it has installed the platform.
#pragma once

namespace zv {

// showState is the window show state given to the program (SW_* values).
int runProgram(int showState);

}  // namespace zv
