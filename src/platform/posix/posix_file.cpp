#include "platform/posix/posix_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace zv {

namespace {

class PosixFile : public File {
 public:
  explicit PosixFile(int fd) : fd_(fd) {}
  ~PosixFile() override { ::close(fd_); }

  int64_t read(void* buffer, size_t count) override {
    ssize_t n;
    do n = ::read(fd_, buffer, count);
    while (n < 0 && errno == EINTR);
    return n;
  }
  int64_t write(const void* data, size_t count) override {
    ssize_t n;
    do n = ::write(fd_, data, count);
    while (n < 0 && errno == EINTR);
    return n;
  }
  bool seekToStart() override { return ::lseek(fd_, 0, SEEK_SET) == 0; }
  bool getStamp(DosStamp* stamp) override {
    struct stat st;
    if (::fstat(fd_, &st) != 0) return false;
    *stamp = dosStampFromTime(st.st_mtime);
    return true;
  }
  bool setStamp(const DosStamp& stamp) override {
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;  // last-access time stays
    times[1].tv_sec = timeFromDosStamp(stamp);
    times[1].tv_nsec = 0;
    return times[1].tv_sec != -1 && ::futimens(fd_, times) == 0;
  }

 private:
  int fd_;
};

}  // namespace

DosStamp dosStampFromTime(std::time_t t) {
  struct tm tm;
  DosStamp stamp;
  if (!localtime_r(&t, &tm)) return stamp;
  int year = tm.tm_year + 1900;
  if (year < 1980) return DosStamp{0, (0 << 9) | (1 << 5) | 1};  // 1980-01-01 00:00:00
  if (year > 2107) return DosStamp{(23 << 11) | (59 << 5) | 29, (127 << 9) | (12 << 5) | 31};
  stamp.time = static_cast<uint16_t>((tm.tm_hour << 11) | (tm.tm_min << 5) | (tm.tm_sec / 2));
  stamp.date = static_cast<uint16_t>(((year - 1980) << 9) | ((tm.tm_mon + 1) << 5) | tm.tm_mday);
  return stamp;
}

std::time_t timeFromDosStamp(const DosStamp& stamp) {
  struct tm tm = {};
  tm.tm_sec = (stamp.time & 0x1F) * 2;
  tm.tm_min = (stamp.time >> 5) & 0x3F;
  tm.tm_hour = stamp.time >> 11;
  tm.tm_mday = stamp.date & 0x1F;
  tm.tm_mon = ((stamp.date >> 5) & 0x0F) - 1;
  tm.tm_year = (stamp.date >> 9) + 80;
  tm.tm_isdst = -1;
  return std::mktime(&tm);
}

std::unique_ptr<File> openHostFile(const std::string& hostPath, FileMode mode) {
  int flags = 0;
  switch (mode) {
    case FileMode::kRead:
      flags = O_RDONLY;
      break;
    case FileMode::kWrite:
      flags = O_RDWR | O_CREAT | O_TRUNC;
      break;
    case FileMode::kAppend:
      flags = O_RDWR | O_CREAT | O_APPEND;
      break;
    case FileMode::kCreateNew:
      flags = O_RDWR | O_CREAT | O_EXCL;
      break;
  }
  int fd = ::open(hostPath.c_str(), flags | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  struct stat st;
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  return std::make_unique<PosixFile>(fd);
}

bool readHostFile(const std::string& hostPath, std::string* content) {
  std::unique_ptr<File> f = openHostFile(hostPath, FileMode::kRead);
  if (!f) return false;
  content->clear();
  char buffer[8192];
  for (;;) {
    int64_t n = f->read(buffer, sizeof buffer);
    if (n < 0) return false;
    if (n == 0) return true;
    content->append(buffer, static_cast<size_t>(n));
  }
}

bool writeHostFileWhole(const std::string& hostPath, const std::string& content,
                        std::string* error) {
  std::string temp = hostPath + ".new";
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  bool ok = fd >= 0;
  size_t done = 0;
  while (ok && done < content.size()) {
    ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += static_cast<size_t>(n);
  }
  ok = ok && ::fsync(fd) == 0;
  int savedErrno = errno;
  if (fd >= 0 && ::close(fd) != 0 && ok) {
    ok = false;
    savedErrno = errno;
  }
  if (ok && ::rename(temp.c_str(), hostPath.c_str()) != 0) {
    ok = false;
    savedErrno = errno;
  }
  if (!ok) {
    ::unlink(temp.c_str());
    *error = "cannot write " + hostPath + ": " + std::strerror(savedErrno);
  }
  return ok;
}

}  // namespace zv
