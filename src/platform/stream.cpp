#include "platform/stream.h"

#include <cstring>

namespace zv {

namespace {
constexpr size_t kBufferSize = size_t{64} << 10;
}

Stream::Stream(std::unique_ptr<File> file) : file_(std::move(file)), buffer_(kBufferSize) {}

Stream::~Stream() {
  flush();
}

std::unique_ptr<Stream> Stream::open(const std::string& path, FileMode mode) {
  std::unique_ptr<File> file = Platform::current().open(path, mode);
  if (!file) return nullptr;
  return std::make_unique<Stream>(std::move(file));
}

bool Stream::fill() {
  if (atEnd_ || failed_) return false;
  int64_t n = file_->read(buffer_.data(), buffer_.size());
  if (n < 0) failed_ = true;
  if (n <= 0) {
    atEnd_ = true;
    return false;
  }
  readPos_ = 0;
  readEnd_ = static_cast<size_t>(n);
  return true;
}

int Stream::getByte() {
  if (readPos_ == readEnd_ && !fill()) return -1;
  return static_cast<unsigned char>(buffer_[readPos_++]);
}

bool Stream::buffered(const char** data, size_t* count) {
  if (readPos_ == readEnd_ && !fill()) return false;
  *data = buffer_.data() + readPos_;
  *count = readEnd_ - readPos_;
  return true;
}

int Stream::peekByte() {
  if (readPos_ == readEnd_ && !fill()) return -1;
  return static_cast<unsigned char>(buffer_[readPos_]);
}

size_t Stream::read(void* buffer, size_t count) {
  char* out = static_cast<char*>(buffer);
  size_t done = 0;
  while (done < count) {
    if (readPos_ == readEnd_ && !fill()) break;
    size_t n = std::min(count - done, readEnd_ - readPos_);
    std::memcpy(out + done, buffer_.data() + readPos_, n);
    readPos_ += n;
    done += n;
  }
  return done;
}

bool Stream::write(const void* data, size_t count) {
  const char* in = static_cast<const char*>(data);
  while (count > 0) {
    if (writeEnd_ == buffer_.size() && !flush()) return false;
    size_t n = std::min(count, buffer_.size() - writeEnd_);
    std::memcpy(buffer_.data() + writeEnd_, in, n);
    writeEnd_ += n;
    in += n;
    count -= n;
  }
  return !failed_;
}

bool Stream::flush() {
  size_t done = 0;
  while (done < writeEnd_) {
    int64_t n = file_->write(buffer_.data() + done, writeEnd_ - done);
    if (n <= 0) {
      failed_ = true;
      break;
    }
    done += static_cast<size_t>(n);
  }
  writeEnd_ = 0;
  return !failed_;
}

bool Stream::close() {
  bool flushed = flush();
  return file_->close() && flushed;
}

bool Stream::rewind() {
  bool flushed = flush();
  readPos_ = readEnd_ = 0;
  atEnd_ = false;
  failed_ = false;
  return file_->seekToStart() && flushed;
}

}  // namespace zv
