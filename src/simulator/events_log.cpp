#include "simulator/events_log.h"

#include <cstdio>

#include "simulator/tool_name.h"

namespace zv {

std::string escapeEventText(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      default:
        out += c;
    }
  }
  return out;
}

void EventsLog::box(const std::string& style, const std::string& caption, const std::string& text,
                    const std::string& answer) {
  append("box\t" + style + "\t" + escapeEventText(caption) + "\t" + escapeEventText(text) + "\t" +
         answer);
}

void EventsLog::restart(bool privilege) {
  append(std::string("restart\tEWX_REBOOT\t") + (privilege ? "privilege" : "no-privilege"));
}

void EventsLog::window(bool closedByUser) {
  append(std::string("window\t") + (closedByUser ? "closed-by-user" : "closed-by-program"));
}

void EventsLog::append(const std::string& line) {
  // Opened per event: the log is complete at every moment, whatever ends
  // the process.
  if (std::FILE* f = std::fopen(path_.c_str(), "ab")) {
    std::fprintf(f, "%s\n", line.c_str());
    std::fclose(f);
  } else {
    std::fprintf(stderr, "%s: cannot append to %s\n", toolName(), path_.c_str());
  }
}

}  // namespace zv
