// Windows folder paths as text, where every layer builds them.
#pragma once

#include <string>

namespace zv {

// The folder with one backslash at its end, added unless it has one (an
// empty folder gives "\"), so that a name can follow.
std::string withBackslash(const std::string& folder);

}  // namespace zv
