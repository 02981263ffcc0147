#include "platform/strings.h"

#include <cctype>

namespace zv {

namespace {
unsigned char upper(char c) {
  return static_cast<unsigned char>(std::toupper(static_cast<unsigned char>(c)));
}
}  // namespace

bool startsWithIgnoringCase(const std::string& text, const std::string& prefix, size_t at) {
  if (at > text.size() || text.size() - at < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (upper(text[at + i]) != upper(prefix[i])) return false;
  }
  return true;
}

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
    if (upper(a[i]) != upper(b[i])) return upper(a[i]) < upper(b[i]) ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

}  // namespace zv
