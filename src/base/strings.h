// Text comparisons without regard to case, as the system makes them for
// names, sections, keys and keywords (ASCII letters only).
#pragma once

#include <string>

namespace zv {

// ASCII letters only, without a library call per character.
inline unsigned char upperAscii(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  return u >= 'a' && u <= 'z' ? static_cast<unsigned char>(u - 'a' + 'A') : u;
}

// text, from position at on, begins with prefix. Inline: profiles run it
// over every line they search.
inline bool startsWithIgnoringCase(const std::string& text, const std::string& prefix,
                                   size_t at = 0) {
  if (at > text.size() || text.size() - at < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (upperAscii(text[at + i]) != upperAscii(prefix[i])) return false;
  }
  return true;
}
bool equalsIgnoringCase(const std::string& a, const std::string& b);
bool endsWithIgnoringCase(const std::string& text, const std::string& tail);
// The stricmp ordering: both sides upper-cased, compared as unsigned bytes;
// negative, zero or positive.
int compareIgnoringCase(const std::string& a, const std::string& b);
// The form the comparisons above see: a key of names without regard to case.
std::string upperCased(std::string text);
// text without the given characters at either end (blanks and tabs unless
// told otherwise).
std::string trimmed(const std::string& text, const char* characters = " \t");

}  // namespace zv
