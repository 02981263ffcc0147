#include "simulator/posix_file.h"

#include "platform/dos_stamp.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace zv {

namespace {

// Temporary files of writeHostFileWhole: the file's name, this, the
// writer's process id and a number.
const char kTemporarySuffix[] = ".tmp-";

class PosixFile : public File {
 public:
  explicit PosixFile(int fd) : fd_(fd) {}
  ~PosixFile() override { close(); }

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
    *stamp = timeToDosStamp(st.st_mtime);
    return true;
  }
  bool setStamp(const DosStamp& stamp) override {
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;  // last-access time stays
    times[1].tv_sec = dosStampToTime(stamp);
    times[1].tv_nsec = 0;
    return times[1].tv_sec != -1 && ::futimens(fd_, times) == 0;
  }
  bool close() override {
    if (fd_ < 0) return true;
    int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

}  // namespace

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
  // A name of its own for every write: two writers never share one.
  static unsigned counter = 0;
  std::string temp;
  int fd = -1;
  for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
    temp =
        hostPath + kTemporarySuffix + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  bool ok = fd >= 0;
  int savedErrno = errno;
  size_t done = 0;
  while (ok && done < content.size()) {
    ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) {
      done += static_cast<size_t>(n);
    } else {
      savedErrno = errno;
    }
  }
  if (ok && ::fsync(fd) != 0) {
    ok = false;
    savedErrno = errno;
  }
  if (fd >= 0 && ::close(fd) != 0 && ok) {
    ok = false;
    savedErrno = errno;
  }
  if (ok && ::rename(temp.c_str(), hostPath.c_str()) != 0) {
    ok = false;
    savedErrno = errno;
  }
  if (!ok) {
    if (fd >= 0) ::unlink(temp.c_str());
    *error = "cannot write " + hostPath + ": " + std::strerror(savedErrno);
  }
  return ok;
}

void removeStaleTemporaryFiles(const std::string& dir) {
  DIR* d = ::opendir(dir.c_str());
  if (!d) return;
  std::vector<std::string> stale;
  while (struct dirent* e = ::readdir(d)) {
    std::string name = e->d_name;
    if (name.find(kTemporarySuffix) != std::string::npos ||
        (name.size() > 4 && name.compare(name.size() - 4, 4, ".new") == 0)) {
      stale.push_back(dir + "/" + name);
    }
  }
  ::closedir(d);
  for (const std::string& path : stale) ::unlink(path.c_str());
}

std::string withCrLf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

}  // namespace zv
