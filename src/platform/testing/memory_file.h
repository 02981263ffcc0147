// A File held in memory, for tests of what is layered on files.
#pragma once

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/platform.h"

namespace zv {

class MemoryFile : public File {
 public:
  // content is shared with the test, which reads what was written. A
  // write fails (returns -1) once failWritesAfter bytes have gone in.
  explicit MemoryFile(std::string* content, size_t failWritesAfter = SIZE_MAX)
      : content_(content), failWritesAfter_(failWritesAfter) {}

  int64_t read(void* buffer, size_t count) override {
    size_t n = std::min(count, content_->size() - std::min(pos_, content_->size()));
    std::memcpy(buffer, content_->data() + pos_, n);
    pos_ += n;
    return static_cast<int64_t>(n);
  }
  int64_t write(const void* data, size_t count) override {
    if (written_ + count > failWritesAfter_) return -1;
    content_->replace(pos_, std::min(count, content_->size() - pos_),
                      static_cast<const char*>(data), count);
    pos_ += count;
    written_ += count;
    return static_cast<int64_t>(count);
  }
  bool seekToStart() override {
    pos_ = 0;
    return true;
  }
  bool getStamp(DosStamp* stamp) override {
    *stamp = stamp_;
    return true;
  }
  bool setStamp(const DosStamp& stamp) override {
    stamp_ = stamp;
    return true;
  }
  bool close() override { return true; }

 private:
  std::string* content_;
  size_t failWritesAfter_;
  size_t pos_ = 0;
  size_t written_ = 0;
  DosStamp stamp_;
};

}  // namespace zv
