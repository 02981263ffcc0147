// Text on both targets: files are read and written in binary and the line
// end rules are ours, so a profile, a catalog or a trace log has the same
// bytes on Windows and on Linux.
#pragma once

#include <cstdint>
#include <string>

#include "platform/stream.h"

namespace zv {

struct TextRules {
  // Drop every CR (true) or only a CR directly before a LF (false).
  bool dropEveryCr = false;
  // A 0x1A byte ends the text.
  bool stopAtCtrlZ = true;
};

class TextReader {
 public:
  TextReader(Stream& stream, TextRules rules) : stream_(stream), rules_(rules) {}

  // Reads as fgets does into a buffer of bufferSize bytes: at most
  // bufferSize - 1 characters, ending after a line feed, which is kept.
  // False when nothing could be read.
  bool readPiece(size_t bufferSize, std::string* piece);
  // A whole line, whatever its length, with its line feed if it has one.
  bool readLine(std::string* line) { return readPiece(SIZE_MAX, line); }
  bool rewind();

 private:
  int nextChar();

  Stream& stream_;
  TextRules rules_;
  bool ended_ = false;
};

// Writes text with every "\n" stored as CR LF.
class TextWriter {
 public:
  explicit TextWriter(Stream& stream) : stream_(stream) {}
  bool write(const std::string& text);

 private:
  Stream& stream_;
};

// Removes one trailing line feed, if there is one.
void stripLineFeed(std::string* line);

}  // namespace zv
