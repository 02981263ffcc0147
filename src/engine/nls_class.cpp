#include "engine/nls_class.h"

#include <cctype>
#include <cstdio>

#include "files/substitute.h"
#include "platform/text_file.h"

namespace zv {

namespace {

const char kReadError[] = "Error reading NLS language file";
const char kNoMemory[] = "Not Enough Memory";

bool isWhite(char c) {
  return std::isspace(static_cast<unsigned char>(c)) != 0;
}

}  // namespace

bool NLSClass::endsCatalog(const std::string& line) {
  size_t p = 0;
  while (p < line.size() && isWhite(line[p])) ++p;
  if (p == line.size()) return true;
  if (line[p] == ';' || line[p] == '#') return true;
  return line.size() - p >= 3 && std::tolower(static_cast<unsigned char>(line[p])) == 'r' &&
         std::tolower(static_cast<unsigned char>(line[p + 1])) == 'e' &&
         std::tolower(static_cast<unsigned char>(line[p + 2])) == 'm';
}

NLSClass::~NLSClass() {
  closeLog();
}

int NLSClass::LoadCatalog(std::string* failure) {
  SubstituteClass lineBreaks('\\');
  lineBreaks.addPair("n", "\n");
  std::unique_ptr<Stream> stream = Stream::open(catalogPath_, FileMode::kRead);
  if (!stream) {
    *failure = std::string(kReadError) + ": " + catalogPath_;
    return 0;
  }
  TextReader reader(*stream, TextRules{});
  std::string line;
  int count = 0;
  // A line is one message, however long: a line split in two would shift
  // every later message number.
  while (reader.readLine(&line) && !endsCatalog(line)) ++count;

  reader.rewind();
  std::vector<std::string> messages;
  try {
    messages.resize(static_cast<size_t>(count) + 1);
  } catch (const std::bad_alloc&) {
    *failure = kNoMemory;
    return 0;
  }
  for (int n = 1; n <= count; ++n) {
    if (!reader.readLine(&line)) {
      *failure = kReadError;
      return 0;
    }
    stripLineFeed(&line);
    lineBreaks.substitute(line);
    messages[n] = line;
  }
  messages_ = std::move(messages);
  messageCount_ = count;
  return 1;
}

const std::string& NLSClass::MessageText(int n) const {
  static const std::string kEmpty;
  if (n < 1 || n > messageCount_) n = static_cast<int>(Msg::kUnknown);
  return n <= messageCount_ ? messages_[n] : kEmpty;
}

void NLSClass::closeLog() {
  logFile_.reset();  // flushes what is still buffered
}

void NLSClass::OpenLog(const std::string& name, bool append) {
  closeLog();
  logPath_ = name;
  if (name.empty()) return;
  logFile_ = Stream::open(name, append ? FileMode::kAppend : FileMode::kWrite);
}

void NLSClass::writeLog(const std::string& text) {
  if (!logFile_) return;
  TextWriter(*logFile_).write(text);
}

}  // namespace zv
