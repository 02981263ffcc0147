#include "base/strings.h"

namespace zv {

bool equalsIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && startsWithIgnoringCase(a, b);
}

bool endsWithIgnoringCase(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         startsWithIgnoringCase(text, tail, text.size() - tail.size());
}

int compareIgnoringCase(const std::string& a, const std::string& b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    if (upperAscii(a[i]) != upperAscii(b[i])) return upperAscii(a[i]) < upperAscii(b[i]) ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

std::string upperCased(std::string text) {
  for (char& c : text) c = static_cast<char>(upperAscii(c));
  return text;
}

std::string trimmed(const std::string& text, const char* characters) {
  const size_t first = text.find_first_not_of(characters);
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(characters) - first + 1);
}

}  // namespace zv
