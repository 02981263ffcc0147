#include "engine/entry_line.h"

#include "base/strings.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

namespace zv {

void trimLine(std::string& line) {
  // isspace in the "C" locale.
  line = trimmed(line, " \t\n\v\f\r");
}

bool isComment(const std::string& line) {
  return line.compare(0, 2, "//") == 0 || (!line.empty() && (line[0] == '*' || line[0] == ';'));
}

bool isEntry(const std::string& line, const char* keyword) {
  size_t n = std::strlen(keyword);
  if (!startsWithIgnoringCase(line, keyword)) return false;
  size_t p = n;
  while (p < line.size() && std::isdigit(static_cast<unsigned char>(line[p]))) ++p;
  return p == line.size() || line[p] == '=';
}

std::optional<std::string> FieldSplitter::nextToken(const char* separators) {
  if (done_) return std::nullopt;
  std::string token;
  bool afterEscaped = false;
  while (pos_ < text_.size()) {
    char c = text_[pos_++];
    if (c == '\\' && !afterEscaped) {
      if (pos_ < text_.size()) {
        char escaped = text_[pos_++];
        token += escaped;
        afterEscaped = true;
      }
      continue;  // a backslash at the very end is dropped
    }
    afterEscaped = false;
    if (std::strchr(separators, c) != nullptr && c != '\0') return token;
    token += c;
  }
  done_ = true;
  return token;
}

bool readNumber(const std::optional<std::string>& field, int* value) {
  if (!field || field->empty()) return false;
  const char* start = field->c_str();
  char* end = nullptr;
  long v = std::strtol(start, &end, 10);
  if (end == start) return false;
  *value = static_cast<int>(v);
  return true;
}

const char* fieldText(const std::optional<std::string>& field) {
  return field ? field->c_str() : "(null)";
}

}  // namespace zv
