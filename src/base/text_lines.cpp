#include "base/text_lines.h"

#include <algorithm>

namespace zv {

std::vector<std::string> textLines(const std::string& text, bool endAtCtrlZ) {
  std::vector<std::string> lines;
  const size_t end = endAtCtrlZ ? std::min(text.find('\x1A'), text.size()) : text.size();
  for (size_t pos = 0; pos < end;) {
    size_t lf = text.find('\n', pos);
    if (lf == std::string::npos || lf > end) lf = end;
    size_t stop = lf;
    if (stop > pos && text[stop - 1] == '\r') --stop;
    lines.push_back(text.substr(pos, stop - pos));
    pos = lf + 1;
  }
  return lines;
}

}  // namespace zv
