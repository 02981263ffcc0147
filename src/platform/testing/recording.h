// A test double that records what the program traces.
#pragma once

#include <string>
#include <vector>

#include "platform/trace.h"

namespace zv {

// Installed as the trace output for its lifetime.
class RecordingTrace : public TraceOutput {
 public:
  RecordingTrace() { setTraceOutput(this); }
  ~RecordingTrace() override { setTraceOutput(nullptr); }
  void print(bool showBox, const std::string& text) override {
    lines.push_back((showBox ? "[box] " : "") + text);
  }
  std::vector<std::string> lines;
};

}  // namespace zv
