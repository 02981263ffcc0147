// One zvpatch at a time on a Windows machine: two installers working at once
// would write the same WININIT.INI, registry values and files.
#pragma once

namespace zv {

class SingleInstance {
 public:
  // Claims the machine for this process (a named mutex); claimed() tells
  // whether another zvpatch had it first.
  SingleInstance();
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  bool claimed() const { return claimed_; }

 private:
  void* mutex_ = nullptr;
  bool claimed_ = false;
};

// The box a second zvpatch shows before it ends without doing anything.
extern const char kAlreadyRunningText[];

}  // namespace zv
