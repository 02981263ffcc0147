// Text comparisons without regard to case, as the system makes them for
// names, sections, keys and keywords (ASCII letters only).
#pragma once

#include <string>

namespace zv {

// text, from position at on, begins with prefix.
bool startsWithIgnoringCase(const std::string& text, const std::string& prefix, size_t at = 0);
bool equalsIgnoringCase(const std::string& a, const std::string& b);
bool endsWithIgnoringCase(const std::string& text, const std::string& tail);
// The stricmp ordering: both sides upper-cased, compared as unsigned bytes;
// negative, zero or positive.
int compareIgnoringCase(const std::string& a, const std::string& b);

}  // namespace zv
