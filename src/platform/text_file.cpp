#include "platform/text_file.h"

namespace zv {

namespace {
constexpr int kCr = '\r';
constexpr int kCtrlZ = 0x1A;
}  // namespace

int TextReader::nextChar() {
  while (!ended_) {
    int c = stream_.getByte();
    if (c < 0 || (c == kCtrlZ && rules_.stopAtCtrlZ)) {
      ended_ = true;
      break;
    }
    if (c == kCr && (rules_.dropEveryCr || stream_.peekByte() == '\n')) continue;
    return c;
  }
  return -1;
}

bool TextReader::readPiece(size_t bufferSize, std::string* piece) {
  piece->clear();
  while (piece->size() + 1 < bufferSize) {
    int c = nextChar();
    if (c < 0) break;
    piece->push_back(static_cast<char>(c));
    if (c == '\n') break;
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
