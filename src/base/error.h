// The record raised when an operation cannot go on. Every layer raises it,
// so it lives at the bottom; the driver catches what nobody else does and
// reports it as a critical error.
#pragma once

#include <string>

namespace zv {

// Source units recorded in an Error, by subsystem.
extern const char kUnitShell[];    // zvpat32
extern const char kUnitEngine[];   // zvpdf
extern const char kUnitProfile[];  // zvpprof
extern const char kUnitFiles[];    // zvpfile

struct Error {
  // Out of memory: size is the request, message empty.
  Error(int errorCode, unsigned requested, const char* unit, int sourceLine)
      : code(errorCode), size(requested), file(unit), line(sourceLine) {}
  // A file error: message names the path concerned; size is 0.
  Error(int errorCode, std::string path, const char* unit, int sourceLine)
      : code(errorCode), message(std::move(path)), file(unit), line(sourceLine) {}

  int code;
  unsigned size = 0;
  std::string message;
  std::string file;
  int line;
};

}  // namespace zv
