// The Win32 entry. The command-line argument is not used: the program reads
// the raw command line itself, since it needs its own path.
#include <windows.h>

#include "platform/entry.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int showState) {
  return zv::runProgram(showState);
}
