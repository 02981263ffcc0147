#pragma once

#include "platform/trace.h"
#include "shell/log_window.h"

namespace zv {

// What TracePrint does with a line, in this order: the window gets it (at
// most 255 characters) and repaints, the error box shows it and is closed,
// and then the trace log, when one is open, gets the whole text.
class WindowTrace : public TraceOutput {
 public:
  explicit WindowTrace(LogWindow& window) : window_(window) {}
  void print(bool showBox, const std::string& text) override;

 private:
  LogWindow& window_;
};

}  // namespace zv
