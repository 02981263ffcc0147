// A buffered stream over a platform File, in the manner of stdio: byte-wise
// reads and small writes stay cheap. A stream is used for reading or for
// writing; rewind() switches between the two.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace zv {

class Stream {
 public:
  explicit Stream(std::unique_ptr<File> file);
  // Flushes what is still buffered.
  ~Stream();
  Stream(const Stream&) = delete;
  Stream& operator=(const Stream&) = delete;

  // Opens through the current platform; nullptr when the file cannot be
  // opened in that mode.
  static std::unique_ptr<Stream> open(const std::string& path, FileMode mode);

  // The next byte, or -1 at the end of the file or on a read error.
  int getByte();
  // The next byte without taking it, or -1.
  int peekByte();
  // Up to count bytes; fewer at the end of the file or on an error.
  size_t read(void* buffer, size_t count);
  // The bytes buffered for reading, read in first when there are none;
  // false at the end of the file or on a read error. consume() takes the
  // first count of them.
  bool buffered(const char** data, size_t* count);
  void consume(size_t count) { readPos_ += count; }

  bool write(const void* data, size_t count);
  bool write(const std::string& text) { return write(text.data(), text.size()); }
  bool flush();
  // Flushes and closes the file; false when anything written since the
  // stream was opened or rewound may be missing.
  bool close();
  // Back to the start of the file, with nothing buffered.
  bool rewind();

  // A read or write has failed since the stream was opened or rewound.
  bool failed() const { return failed_; }
  File& file() { return *file_; }

 private:
  bool fill();

  std::unique_ptr<File> file_;
  std::vector<char> buffer_;
  size_t readPos_ = 0;
  size_t readEnd_ = 0;
  size_t writeEnd_ = 0;
  bool atEnd_ = false;
  bool failed_ = false;
};

}  // namespace zv
