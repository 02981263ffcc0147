#include "platform/platform.h"

#include <cstdio>
#include <cstdlib>

namespace zv {

namespace {
Platform* installed = nullptr;
}

Platform& Platform::current() {
  if (!installed) {
    std::fputs("zvpatch: no platform was installed\n", stderr);
    std::abort();
  }
  return *installed;
}

Platform* Platform::setCurrent(Platform* p) {
  Platform* previous = installed;
  installed = p;
  return previous;
}

std::string Platform::makeUniqueName(const std::string& pattern) {
  static const char kXs[] = "XXXXXX";
  constexpr uint32_t kLetters = 26;
  constexpr uint32_t kNumbers = 100000;
  constexpr uint32_t kVariants = kLetters * kNumbers;
  if (pattern.size() < 6 || pattern.compare(pattern.size() - 6, 6, kXs) != 0) return "";
  const uint32_t first = processId() % kNumbers;
  uint32_t& cursor = uniqueNameCursors_[pattern];
  std::string name = pattern;
  char digits[8];
  for (uint32_t tried = 0; tried < kVariants; ++tried) {
    const uint32_t variant = (cursor + tried) % kVariants;
    name[name.size() - 6] = static_cast<char>('a' + variant % kLetters);
    std::snprintf(digits, sizeof digits, "%05u",
                  static_cast<unsigned>((first + variant / kLetters) % kNumbers));
    name.replace(name.size() - 5, 5, digits);
    if (!exists(name)) {
      cursor = variant;
      return name;
    }
  }
  return "";
}

}  // namespace zv
