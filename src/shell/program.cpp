#include "platform/entry.h"
#include "platform/platform.h"

namespace zv {

int runProgram(int showState) {
  Platform& platform = Platform::current();
  if (!platform.createLogWindow(showState)) return 0;
  platform.entryAppended("Patch Upgrade: the patch engine is not part of this build yet.\n");
  platform.closeLogWindow();
  return platform.messageLoop();
}

}  // namespace zv
