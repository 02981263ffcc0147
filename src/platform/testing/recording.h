// Test doubles that record what the program shows: trace lines and boxes.
#pragma once

#include <string>
#include <vector>

#include "platform/platform_wrapper.h"
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

// Installed as the current platform for its lifetime; boxes are recorded
// as "caption|text|style" and answered from `answers` (then kIdNo/kIdOk).
class RecordingPlatform : public PlatformWrapper {
 public:
  explicit RecordingPlatform(Platform& target) : PlatformWrapper(target) {
    previous_ = Platform::setCurrent(this);
  }
  ~RecordingPlatform() override { Platform::setCurrent(previous_); }
  int messageBox(const std::string& text, const std::string& caption, unsigned style) override {
    boxes.push_back(caption + "|" + text + "|" + (style == kMbYesNo ? "YESNO" : "OK"));
    if (!answers.empty()) {
      int a = answers.front();
      answers.erase(answers.begin());
      return a;
    }
    return style == kMbYesNo ? kIdNo : kIdOk;
  }
  std::vector<std::string> boxes;
  std::vector<int> answers;

 private:
  Platform* previous_;
};

}  // namespace zv
