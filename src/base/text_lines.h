// Text split into lines as the system's INI readers take it.
#pragma once

#include <string>
#include <vector>

namespace zv {

// The lines of text: split at line feeds, a CR before a line feed is not
// part of the line, nothing after the last line feed makes a line of its
// own unless it is text. With endAtCtrlZ the text ends at its first 0x1A.
std::vector<std::string> textLines(const std::string& text, bool endAtCtrlZ);

}  // namespace zv
