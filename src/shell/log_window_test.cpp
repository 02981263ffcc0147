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

// Entries "entry 1", "entry 2", ... each painted as it comes or all at once.
void append(LogWindow& window, FakeCanvas& canvas, int count, bool paintEach) {
  for (int i = 0; i < count; ++i) {
    size_t n = 1;
    while (window.entry(n)) ++n;
    window.append("entry " + std::to_string(n) + "\n");
    if (paintEach) window.paint(canvas = FakeCanvas());
  }
  if (!paintEach) window.paint(canvas = FakeCanvas());
}

TEST(LogWindowTest, LinesAreDrawnOneBelowTheOtherAndTheViewFollowsAfterFifteen) {
  LogWindow window;
  FakeCanvas canvas;
  window.append("first\n");
  window.append("\nCompressing A.TXT...\n");
  window.append("two\n\nlines");
  window.paint(canvas);
  EXPECT_EQ(canvas.draws, (std::vector<std::string>{"1,1:first", "1,18:Compressing A.TXT...",
                                                    "1,35:two", "1,52:lines"}));
  EXPECT_EQ(canvas.range, 3);

  LogWindow following;
  append(following, canvas, 15, true);
  EXPECT_EQ(following.scrollPos(), 0);
  append(following, canvas, 1, true);
  EXPECT_EQ(following.scrollPos(), 1) << "the 16th entry moves the view";
  EXPECT_EQ(canvas.barPos, 1);
  append(following, canvas, 3, false);
  EXPECT_EQ(following.scrollPos(), 4);
  EXPECT_EQ(canvas.range, 19);
  following.paint(canvas = FakeCanvas());
  EXPECT_EQ(canvas.draws.front(), "1,1:entry 5") << "lines above the view are not drawn";
  EXPECT_EQ(canvas.invalidations, 0) << "nothing new, nothing moves";

  LogWindow atOnce;
  append(atOnce, canvas, 20, false);
  EXPECT_EQ(atOnce.scrollPos(), 20) << "many entries at once move the view at once";
}

TEST(LogWindowTest, ScrollRequests) {
  LogWindow window;
  FakeCanvas canvas;
  append(window, canvas, 12, false);
  const struct {
    int request;
    bool moves;
    int pos;
  } steps[] = {
      {kLineUp, false, 0},    {kLineDown, true, 1}, {kPageDown, true, 11}, {kPageDown, true, 12},
      {kLineDown, false, 12}, {kPageUp, true, 2},   {kPageUp, true, 0},    {kThumbTrack, false, 0},
      {kLineDown, true, 1},   {kLineUp, true, 0},
  };
  for (const auto& s : steps) {
    canvas.barPos = -1;
    EXPECT_EQ(window.scroll(s.request, canvas), s.moves) << s.request << " to " << s.pos;
    EXPECT_EQ(window.scrollPos(), s.pos);
    EXPECT_EQ(canvas.barPos, s.moves ? s.pos : -1);
  }
  append(window, canvas, 8, false);
  EXPECT_TRUE(window.scroll(kPageDown, canvas));
  EXPECT_EQ(window.scrollPos(), 10) << "a page down that ends before the end";
}

}  // namespace
}  // namespace zv
