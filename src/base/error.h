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

// What went wrong. The numbers are the ones a critical error report shows.
enum class ErrorCode : int {
  kNoMemory = 1,
  kFileUnreadable = 20,   // a file cannot be opened, or not read whole
  kFileNotWritten = 21,   // a file cannot be created, or not written whole
  kWriteFailed = 23,      // a write or the close came short
  kReadFailed = 24,       // a read failed part-way
  kStampNotSet = 27,      // a file's time cannot be set
  kStampUnreadable = 28,  // a file's time cannot be read
  kRestartRefused = 29,   // work for the next start cannot be recorded
};

struct Error {
  // Out of memory: size is the request, message empty.
  Error(ErrorCode errorCode, unsigned requested, const char* unit, int sourceLine)
      : code(static_cast<int>(errorCode)), size(requested), file(unit), line(sourceLine) {}
  // A file error: message names the path concerned; size is 0.
  Error(ErrorCode errorCode, std::string path, const char* unit, int sourceLine)
      : code(static_cast<int>(errorCode)), message(std::move(path)), file(unit), line(sourceLine) {}

  int code;  // an ErrorCode's number
  unsigned size = 0;
  std::string message;
  std::string file;
  int line;
};

}  // namespace zv
