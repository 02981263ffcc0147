#include "shell/window_trace.h"

#include <gtest/gtest.h>

#include "engine/nls_class.h"
#include "platform/testing/memory_platform.h"
#include "platform/testing/recording.h"

namespace zv {
namespace {

// Records the order in which the window and the box see a line, and what
// the trace log holds when the box is shown.
class OrderPlatform : public RecordingPlatform {
 public:
  OrderPlatform(Platform& target, NLSClass& nls) : RecordingPlatform(target), nls_(nls) {}
  void entryAppended(const std::string& text) override { events.push_back("window:" + text); }
  int messageBox(const std::string& text, const std::string& caption, unsigned style) override {
    events.push_back("box:" + text);
    EXPECT_TRUE(nls_.logOpen());
    return RecordingPlatform::messageBox(text, caption, style);
  }
  std::vector<std::string> events;

 private:
  NLSClass& nls_;
};

TEST(WindowTraceTest, WindowThenBoxThenTheWholeTextToTheLog) {
  MemoryTestPlatform tp;
  NLSClass nls(tp.scratchDir() + "\\UPD.MSG");
  OrderPlatform platform(tp.platform(), nls);
  LogWindow window;
  WindowTrace trace(window);
  setTraceOutput(&trace);

  TracePrint(0, "before the catalog\n");
  window.attach(&nls);
  nls.OpenLog(tp.scratchDir() + "\\T.LOG", 0);
  std::string longText(300, 'L');
  EXPECT_EQ(TracePrint(1, "%s\n", longText.c_str()), 301);
  setTraceOutput(nullptr);
  nls.OpenLog("", 0);  // closes and flushes

  std::string shown = longText.substr(0, 255);
  // The cut entry still ends its line on the screen.
  EXPECT_EQ(platform.events, (std::vector<std::string>{"window:before the catalog\n",
                                                       "window:" + shown + "\n", "box:" + shown}));
  EXPECT_EQ(platform.boxes, (std::vector<std::string>{"Patch Update Error|" + shown + "|OK"}));
  EXPECT_EQ(*window.entry(2), shown);
  std::unique_ptr<File> log = tp.platform().open(tp.scratchDir() + "\\T.LOG", FileMode::kRead);
  std::string bytes(1024, '\0');
  bytes.resize(static_cast<size_t>(log->read(&bytes[0], bytes.size())));
  EXPECT_EQ(bytes, longText + "\r\n") << "the log gets the whole text, and only after the catalog";
}

}  // namespace
}  // namespace zv
