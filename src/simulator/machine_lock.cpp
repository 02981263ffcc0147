#include "simulator/machine_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace zv {

const char kMachineLockFile[] = "machine.lock";

namespace {

constexpr int kDefaultWaitSeconds = 10;

int waitSeconds() {
  const char* text = std::getenv("ZVPATCH_LOCK_WAIT");
  if (!text || !*text) return kDefaultWaitSeconds;
  char* end = nullptr;
  long seconds = std::strtol(text, &end, 10);
  return *end == '\0' && seconds >= 0 && seconds < 86400 ? static_cast<int>(seconds)
                                                         : kDefaultWaitSeconds;
}

}  // namespace

MachineLock::~MachineLock() {
  if (fd_ >= 0) ::close(fd_);
}

bool MachineLock::acquire(const std::string& machineDir, std::string* error) {
  std::string path = machineDir + "/" + kMachineLockFile;
  fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd_ < 0) {
    *error = "cannot lock the machine " + machineDir + ": " + std::strerror(errno);
    return false;
  }
  const int seconds = waitSeconds();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK && errno != EINTR) {
      *error = "cannot lock the machine " + machineDir + ": " + std::strerror(errno);
      return false;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      *error = "the machine " + machineDir + " is in use by another run (waited " +
               std::to_string(seconds) + " s); nothing was changed";
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

}  // namespace zv
