#include "shell/log_window.h"

namespace zv {

namespace {

constexpr int kLineUp = 0;
constexpr int kLineDown = 1;
constexpr int kPageUp = 2;
constexpr int kPageDown = 3;
constexpr int kPage = 10;
constexpr int kFixedEntries = 15;  // the view stays at the top up to here

}  // namespace

LogWindow::LogWindow() : lineStore_(std::make_unique<Profile>("", Profile::kFileMode)) {}

void LogWindow::append(const std::string& entry) {
  lineStore_->appendLine(entry);
}

void LogWindow::paint(Canvas& canvas) {
  int y = 1;
  int lineHeight = 0;
  size_t n = 1;
  for (const std::string* text; (text = entry(n)) != nullptr; ++n) {
    std::string shown = text->substr(0, 255);
    size_t start = 0;
    while (start <= shown.size()) {
      size_t end = shown.find('\n', start);
      if (end == std::string::npos) end = shown.size();
      std::string piece = shown.substr(start, end - start);
      start = end + 1;
      if (piece.empty()) continue;
      if (lineHeight == 0) lineHeight = canvas.textHeight(piece);
      int top = (lineHeight + 1) * scrollPos_;
      if (y > top) canvas.drawText(1, y - top, piece);
      y += lineHeight + 1;
    }
  }
  int entries = static_cast<int>(n - 1);
  if (entries == scrollMax_) return;
  if (scrollMax_ >= kFixedEntries || entries - scrollMax_ > kFixedEntries) {
    scrollPos_ += entries - scrollMax_;
    canvas.invalidate();
    scrollMax_ = entries;
    canvas.setScrollRange(scrollMax_);
    canvas.setScrollPos(scrollPos_);
  } else {
    scrollMax_ = entries;
    canvas.setScrollRange(scrollMax_);
  }
}

bool LogWindow::scroll(int request, Canvas& canvas) {
  int pos = scrollPos_;
  switch (request) {
    case kLineDown:
      if (pos >= scrollMax_) return false;
      ++pos;
      break;
    case kLineUp:
      if (pos <= 0) return false;
      --pos;
      break;
    case kPageDown:
      pos = pos < scrollMax_ - kPage ? pos + kPage : scrollMax_;
      break;
    case kPageUp:
      pos = pos >= kPage ? pos - kPage : 0;
      break;
    default:
      return false;  // dragging the box does not move the text
  }
  scrollPos_ = pos;
  canvas.invalidate();
  canvas.setScrollPos(scrollPos_);
  return true;
}

}  // namespace zv
