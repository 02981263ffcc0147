#include "platform/text_file.h"

#include <algorithm>

namespace zv {

namespace {
constexpr char kCr = '\r';
constexpr char kCtrlZ = 0x1A;
}  // namespace

bool TextReader::readPiece(size_t bufferSize, std::string* piece) {
  piece->clear();
  // Runs of plain bytes are taken from the stream's buffer at once; a CR, a
  // line feed or 0x1A is looked at on its own.
  while (!ended_ && piece->size() + 1 < bufferSize) {
    const char* data;
    size_t count;
    if (!stream_.buffered(&data, &count)) {
      ended_ = true;
      break;
    }
    const size_t room = std::min(count, bufferSize - 1 - piece->size());
    size_t plain = 0;
    while (plain < room && data[plain] != '\n' && data[plain] != kCr &&
           (data[plain] != kCtrlZ || !rules_.stopAtCtrlZ)) {
      ++plain;
    }
    piece->append(data, plain);
    stream_.consume(plain);
    if (plain == room) continue;
    const char c = data[plain];
    stream_.consume(1);
    if (c == '\n') {
      piece->push_back('\n');
      break;
    }
    if (c != kCr) {
      ended_ = true;  // 0x1A
      break;
    }
    if (rules_.dropEveryCr || stream_.peekByte() == '\n') continue;
    piece->push_back(kCr);
  }
  return !piece->empty();
}

bool TextReader::rewind() {
  ended_ = false;
  return stream_.rewind();
}

bool TextWriter::write(const std::string& text) {
  size_t start = 0;
  for (size_t lf = text.find('\n'); lf != std::string::npos; lf = text.find('\n', start)) {
    if (!stream_.write(text.data() + start, lf - start) || !stream_.write("\r\n", 2)) return false;
    start = lf + 1;
  }
  return stream_.write(text.data() + start, text.size() - start);
}

void stripLineFeed(std::string* line) {
  if (!line->empty() && line->back() == '\n') line->pop_back();
}

}  // namespace zv
