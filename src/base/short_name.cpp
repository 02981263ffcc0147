#include "base/short_name.h"

#include <cctype>
#include <cstring>

namespace zv {

namespace {

// Letters (either case), digits, the punctuation a short name allows, and
// every byte above 127.
bool shortNameChar(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return u >= 128 || std::isalnum(u) || std::strchr("$%'-_@~`!(){}^#&", c) != nullptr;
}

std::string upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

bool isShortName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  size_t dot = name.find('.');
  std::string base = name.substr(0, dot);
  std::string ext = dot == std::string::npos ? "" : name.substr(dot + 1);
  if (base.empty() || base.size() > 8 || ext.size() > 3) return false;
  if (dot != std::string::npos && ext.empty()) return false;  // "NAME." is no name
  for (char c : base + ext) {
    if (!shortNameChar(c)) return false;
  }
  return true;
}

std::string formShortName(const std::string& longName,
                          const std::function<bool(const std::string&)>& taken) {
  std::string name = upper(longName);
  bool lossy = false;
  std::string compact;
  for (char c : name) {
    if (c == ' ') {
      lossy = true;
    } else {
      compact += c;
    }
  }
  size_t first = compact.find_first_not_of('.');
  if (first != 0) lossy = true;
  compact = first == std::string::npos ? "" : compact.substr(first);
  size_t dot = compact.rfind('.');
  std::string base = compact.substr(0, dot);
  std::string ext = dot == std::string::npos ? "" : compact.substr(dot + 1);
  std::string cleanBase;
  for (char c : base) {
    if (c == '.') {
      lossy = true;
    } else if (!shortNameChar(c)) {
      cleanBase += '_';
      lossy = true;
    } else {
      cleanBase += c;
    }
  }
  for (char& c : ext) {
    if (!shortNameChar(c)) {
      c = '_';
      lossy = true;
    }
  }
  if (ext.size() > 3) {
    ext.resize(3);
    lossy = true;
  }
  if (cleanBase.size() > 8) lossy = true;
  if (cleanBase.empty()) cleanBase = "_";
  const std::string suffix = ext.empty() ? "" : "." + ext;
  if (!lossy && !taken(cleanBase + suffix)) return cleanBase + suffix;
  for (unsigned n = 1;; ++n) {
    std::string tail = "~" + std::to_string(n);
    std::string candidate = cleanBase.substr(0, 8 - tail.size()) + tail + suffix;
    if (!taken(candidate)) return candidate;
  }
}

}  // namespace zv
