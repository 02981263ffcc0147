#include "shell/window_trace.h"

#include <gtest/gtest.h>

#include "engine/nls_class.h"
#include "platform/testing/memory_platform.h"
#include "platform/testing/recording.h"
#include "shell/critical_error.h"

namespace zv {
namespace {

// Records the order in which the window and the box see a line.
struct OrderPlatform : RecordingPlatform {
  using RecordingPlatform::RecordingPlatform;
  void entryAppended(const std::string& text) override { events.push_back("window:" + text); }
  int messageBox(const std::string& text, const std::string& caption, unsigned style) override {
    events.push_back("box:" + text);
    return RecordingPlatform::messageBox(text, caption, style);
  }
  std::vector<std::string> events;
};

TEST(WindowTraceTest, WindowThenBoxThenTheWholeTextToTheLogAndTheCriticalErrorReport) {
  MemoryTestPlatform tp;
  NLSClass nls(tp.scratchDir() + "\\UPD.MSG");
  OrderPlatform platform(tp.platform());
  LogWindow window;
  WindowTrace trace(window);
  setTraceOutput(&trace);
  TracePrint(0, "before the catalog\n");
  window.attach(&nls);
  nls.OpenLog(tp.scratchDir() + "\\T.LOG", false);
  const std::string longText(300, 'L'), shown(255, 'L');
  TracePrint(1, "%s\n", longText.c_str());
  setTraceOutput(nullptr);
  nls.OpenLog("", false);  // closes and flushes
  // The cut entry still ends its line on the screen.
  EXPECT_EQ(platform.events, (std::vector<std::string>{"window:before the catalog\n",
                                                       "window:" + shown + "\n", "box:" + shown}));
  std::unique_ptr<File> log = tp.platform().open(tp.scratchDir() + "\\T.LOG", FileMode::kRead);
  std::string bytes(1024, '\0');
  bytes.resize(static_cast<size_t>(log->read(&bytes[0], bytes.size())));
  EXPECT_EQ(bytes, longText + "\r\n") << "the log gets the whole text, and only after the catalog";

  RecordingTrace lines;
  ReportCriticalError(Error(static_cast<ErrorCode>(7), std::string("M"), "A", 10));
  EXPECT_EQ(lines.lines, (std::vector<std::string>{
                             "Critical ERROR Occured on line 10\n  of file A\n",
                             "     Error Number:  7\n",
                             "     Error Message: M\n",
                             "     Size:          0\n",
                         }));
  EXPECT_EQ(platform.boxes.back(), "Critical Error|Critical Error!|OK");
}

}  // namespace
}  // namespace zv
