// The content of the program's one window: every trace entry in call order,
// held in an in-memory profile (the line store), painted one text line
// below the other and scrolled by the vertical bar.
#pragma once

#include <memory>
#include <string>

#include "platform/platform.h"
#include "profile/profile.h"

namespace zv {

class NLSClass;

class LogWindow : public LogWindowClient {
 public:
  LogWindow();

  // Adds one entry (it may hold several lines separated by "\n").
  void append(const std::string& entry);
  // Entry n, counted from 1; nullptr past the end.
  const std::string* entry(size_t n) const { return lineStore_->getLine(n); }
  // The catalog, whose trace log receives every line from now on.
  void attach(NLSClass* nls) { catalog_ = nls; }
  NLSClass* attached() const { return catalog_; }

  // Draws every entry, skipping empty lines, at one line height plus one
  // pixel apart; past 15 entries the view follows new entries.
  void paint(Canvas& canvas) override;
  // Line and page requests; false for others and for lines at the ends.
  bool scroll(int request, Canvas& canvas) override;

  int scrollPos() const { return scrollPos_; }
  int scrollMax() const { return scrollMax_; }

 private:
  std::unique_ptr<Profile> lineStore_;
  NLSClass* catalog_ = nullptr;  // not owned
  int scrollPos_ = 0;
  int scrollMax_ = 0;
};

}  // namespace zv
