// events.log of a simulated machine: what the user saw and did, one
// tab-separated line per event, appended.
#pragma once

#include <string>

namespace zv {

// Escapes backslash, tab and line feed as \\, \t and \n.
std::string escapeEventText(const std::string& text);

class EventsLog {
 public:
  explicit EventsLog(std::string hostPath) : path_(std::move(hostPath)) {}

  // style "MB_OK" or "MB_YESNO"; answer "OK", "YES", "NO" or "CLOSE".
  void box(const std::string& style, const std::string& caption, const std::string& text,
           const std::string& answer);
  void restart(bool privilege);
  void window(bool closedByUser);

 private:
  void append(const std::string& line);

  std::string path_;
};

}  // namespace zv
