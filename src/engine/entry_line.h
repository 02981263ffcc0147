// Entry and condition lines of the patch definition file: trimming, comment
// and keyword tests, and the field splitter.
#pragma once

#include <optional>
#include <string>

namespace zv {

// An entry or condition line holds at most this many characters after
// trimming; a longer one is refused, never cut (a cut line names another
// file).
constexpr size_t kEntryLineLimit = 255;

// Removes white space (tab, LF, VT, FF, CR, space) at both ends.
void trimLine(std::string& line);

// The line begins with "//", "*" or ";".
bool isComment(const std::string& line);

// The line begins with keyword (any case), then any decimal digits, then
// "=" or the end of the line.
bool isEntry(const std::string& line, const char* keyword);

// Splits one line into tokens. A backslash escapes the next character,
// which is taken literally and never separates; the character right after
// an escaped one is compared with the separators but is no escape itself.
// A field is absent (nullopt) once the line has ended, empty when two
// separators meet.
class FieldSplitter {
 public:
  explicit FieldSplitter(const std::string& line) : text_(line) {}
  // The next token up to one of separators, or nullopt after the last.
  std::optional<std::string> nextToken(const char* separators);

 private:
  std::string text_;
  size_t pos_ = 0;
  bool done_ = false;
};

// The value of a numeric field as a "%d" scan reads it; false when the
// field is absent, empty or does not begin with a number.
bool readNumber(const std::optional<std::string>& field, int* value);

// How a field prints in the trace: its text, or "(null)" when absent.
const char* fieldText(const std::optional<std::string>& field);

}  // namespace zv
