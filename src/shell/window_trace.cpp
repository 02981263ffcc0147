#include "shell/window_trace.h"

#include "engine/nls_class.h"
#include "platform/interaction.h"
#include "platform/platform.h"

namespace zv {

void WindowTrace::print(bool showBox, const std::string& text) {
  std::string shown = showInWindow(text);
  window_.append(shown);
  if (showBox) askUser(shown, kErrorCaption, kMbOk);
  if (NLSClass* nls = window_.attached()) nls->writeLog(text);
}

}  // namespace zv
