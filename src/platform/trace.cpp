#include "platform/trace.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "platform/interaction.h"
#include "platform/platform.h"

namespace zv {

const char kErrorCaption[] = "Patch Update Error";

std::string showInWindow(const std::string& text) {
  std::string shown = text.substr(0, kWindowTextLimit);
  bool lineCut = shown.size() < text.size() && text.back() == '\n' && shown.back() != '\n';
  Platform::current().entryAppended(lineCut ? shown + "\n" : shown);
  return shown;
}

namespace {

class WindowOutput : public TraceOutput {
 public:
  void print(bool showBox, const std::string& text) override {
    std::string shown = showInWindow(text);
    if (showBox) askUser(shown, kErrorCaption, kMbOk);
  }
};

TraceOutput* currentOutput = nullptr;

}  // namespace

void setTraceOutput(TraceOutput* output) {
  currentOutput = output;
}

int TracePrint(int showBox, const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string text;
  if (length > 0) {
    std::vector<char> buffer(static_cast<size_t>(length) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, args);
    text.assign(buffer.data(), static_cast<size_t>(length));
  }
  va_end(args);
  static WindowOutput windowOutput;
  (currentOutput ? *currentOutput : windowOutput).print(showBox != 0, text);
  return length;
}

}  // namespace zv
