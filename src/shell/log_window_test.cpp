#include "shell/log_window.h"

#include <gtest/gtest.h>

#include <vector>

namespace zv {
namespace {

constexpr int kLineUp = 0, kLineDown = 1, kPageUp = 2, kPageDown = 3, kThumbTrack = 5;

struct FakeCanvas : Canvas {
  int textHeight(const std::string&) override { return 16; }
  void drawText(int x, int y, const std::string& text) override {
    draws.push_back(std::to_string(x) + "," + std::to_string(y) + ":" + text);
  }
  void invalidate() override { ++invalidations; }
  void setScrollRange(int max) override { range = max; }
  void setScrollPos(int pos) override { barPos = pos; }
  std::vector<std::string> draws;
  int invalidations = 0, range = -1, barPos = -1;
};

class LogWindowTest : public ::testing::Test {
 protected:
  void append(int count) {
    for (int i = 0; i < count; ++i) window.append("entry " + std::to_string(++appended) + "\n");
  }
  void paint() {
    canvas = FakeCanvas();
    window.paint(canvas);
  }
  LogWindow window;
  FakeCanvas canvas;
  int appended = 0;
};

TEST_F(LogWindowTest, EntriesAreDrawnLineByLineSkippingEmptyPieces) {
  window.append("first\n");
  window.append("\nCompressing A.TXT...\n");
  window.append("two\n\nlines");
  paint();
  EXPECT_EQ(canvas.draws, (std::vector<std::string>{"1,1:first", "1,18:Compressing A.TXT...",
                                                    "1,35:two", "1,52:lines"}));
  EXPECT_EQ(*window.entry(2), "\nCompressing A.TXT...\n");
  EXPECT_EQ(window.entry(4), nullptr);
  EXPECT_EQ(window.scrollMax(), 3);
  EXPECT_EQ(canvas.range, 3);
}

TEST_F(LogWindowTest, TheViewFollowsNewEntriesAfterFifteen) {
  for (int i = 0; i < 15; ++i) {
    append(1);
    paint();
  }
  EXPECT_EQ(window.scrollPos(), 0);
  EXPECT_EQ(window.scrollMax(), 15);
  append(1);
  paint();
  EXPECT_EQ(window.scrollPos(), 1) << "the 16th entry moves the view";
  EXPECT_EQ(canvas.barPos, 1);
  EXPECT_EQ(canvas.invalidations, 1);
  append(3);
  paint();
  EXPECT_EQ(window.scrollPos(), 4);
  EXPECT_EQ(window.scrollMax(), 19);
  // The repaint that follows: lines above the view are not drawn, and the
  // first one shown is at the top.
  paint();
  EXPECT_EQ(canvas.draws.front(), "1,1:entry 5");
  EXPECT_EQ(canvas.invalidations, 0) << "nothing new, nothing moves";
}

TEST_F(LogWindowTest, ManyEntriesAtOnceMoveTheViewAtOnce) {
  append(20);
  paint();
  EXPECT_EQ(window.scrollPos(), 20);
}

TEST_F(LogWindowTest, ScrollRequests) {
  append(12);
  paint();
  ASSERT_EQ(window.scrollMax(), 12);
  EXPECT_FALSE(window.scroll(kLineUp, canvas)) << "at the top";
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(window.scroll(kLineDown, canvas));
  EXPECT_TRUE(window.scroll(kPageDown, canvas));
  EXPECT_EQ(window.scrollPos(), 12) << "3 + 10 passes the end: the end";
  EXPECT_EQ(canvas.barPos, 12);
  EXPECT_FALSE(window.scroll(kLineDown, canvas)) << "at the end";
  EXPECT_TRUE(window.scroll(kPageUp, canvas));
  EXPECT_EQ(window.scrollPos(), 2);
  EXPECT_TRUE(window.scroll(kPageUp, canvas));
  EXPECT_EQ(window.scrollPos(), 0);
  EXPECT_FALSE(window.scroll(kThumbTrack, canvas)) << "dragging does not move the text";

  append(8);
  paint();
  EXPECT_EQ(window.scrollMax(), 20);
  EXPECT_TRUE(window.scroll(kPageDown, canvas));
  EXPECT_EQ(window.scrollPos(), 10);
}

}  // namespace
}  // namespace zv
