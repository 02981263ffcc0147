// One run at a time on a simulated machine: zvpatch, zvboot and zvpatch-diff
// hold this lock on the machine directory for as long as they work on it,
// so that two runs never write the same files at once. The system releases
// it however the process ends.
#pragma once

#include <string>

namespace zv {

// The lock file, in the machine directory.
extern const char kMachineLockFile[];

class MachineLock {
 public:
  MachineLock() = default;
  ~MachineLock();
  MachineLock(const MachineLock&) = delete;
  MachineLock& operator=(const MachineLock&) = delete;

  // Waits for the machine while another run holds it, up to the seconds of
  // ZVPATCH_LOCK_WAIT (default 10); false with *error when it stays in use
  // or the lock file cannot be made.
  bool acquire(const std::string& machineDir, std::string* error);

 private:
  int fd_ = -1;
};

}  // namespace zv
