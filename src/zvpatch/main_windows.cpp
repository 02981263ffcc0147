// The Win32 entry. The command-line argument is not used: the program reads
// the raw command line itself, since it needs its own path.
#include <windows.h>

#include "platform/platform.h"
#include "platform/trace.h"
#include "platform/win32/single_instance.h"
#include "platform/win32/win32_platform.h"
#include "shell/program.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int showState) {
  zv::SingleInstance instance;
  if (!instance.claimed()) {
    // Nothing has been read or written yet, and nothing will be.
    MessageBoxA(nullptr, zv::kAlreadyRunningText, zv::kErrorCaption, MB_OK | MB_ICONSTOP);
    return 0;
  }
  zv::Platform::setCurrent(&zv::win32Platform());
  return zv::runProgram(showState);
}
