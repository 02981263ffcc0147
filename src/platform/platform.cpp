#include "platform/platform.h"

#include <cstdio>

namespace zv {

namespace {
Platform* currentOverride = nullptr;
}

Platform& Platform::current() {
  return currentOverride ? *currentOverride : defaultPlatform();
}

Platform* Platform::setCurrent(Platform* p) {
  Platform* previous = currentOverride;
  currentOverride = p;
  return previous;
}

std::string Platform::makeUniqueName(const std::string& pattern) {
  static const char kXs[] = "XXXXXX";
  if (pattern.size() < 6 || pattern.compare(pattern.size() - 6, 6, kXs) != 0) return "";
  char digits[8];
  std::snprintf(digits, sizeof digits, "%05u", static_cast<unsigned>(processId() % 100000));
  std::string name = pattern;
  name.replace(name.size() - 5, 5, digits);
  for (char letter = 'a'; letter <= 'z'; ++letter) {
    name[name.size() - 6] = letter;
    if (!exists(name)) return name;
  }
  return "";
}

}  // namespace zv
