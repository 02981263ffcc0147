// What changed in one INI file, key by key, as Windows reads it: [Section]
// headers, key=value lines, section and key names without regard to case,
// values exactly. A line without "=" is a key without a value; comments,
// blank lines and lines before the first section mean nothing to Windows
// and are passed over. CR LF and LF both end a line; a 0x1A byte ends the
// text.
#pragma once

#include <string>
#include <vector>

namespace zv {

// One line per change, in the order of the file after the change (what is
// gone comes last): "[S] K added: v", "[S] K changed: a -> b",
// "[S] K removed (was: a)". A key given more than once in a section (as
// WININIT.INI repeats NUL=) is compared as the ordered list of its values,
// shown as the values added and removed.
std::vector<std::string> iniChanges(const std::string& before, const std::string& after);

}  // namespace zv
