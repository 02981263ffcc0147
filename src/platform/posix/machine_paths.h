// Where a Windows path of the simulated machine lives on the host: X:\...
// under drive_x/ of the machine directory, anything without a drive letter
// on the host itself, as a Windows emulator shows the host's root as a drive.
#pragma once

#include <string>

namespace zv {

class MachinePaths {
 public:
  explicit MachinePaths(std::string machineDir) : machineDir_(std::move(machineDir)) {}

  // The host path for a Windows path. Every component that exists is found
  // without regard to case (an exact match first); the others keep the case
  // they are given, so new files are created as named. "." and ".." are
  // resolved by name, never above a drive's root.
  std::string toHost(const std::string& windowsPath) const;

  // The host folder of drive letter d (drive_d).
  std::string driveDir(char letter) const;

 private:
  std::string machineDir_;
};

// The Windows path of a path relative to the machine directory, the names
// as they are on disk: "drive_c/PROD/X.DLL" is C:\PROD\X.DLL and "drive_c"
// is C:\. Empty for a path that is not on a drive.
std::string windowsPathOf(const std::string& machineRelative);

}  // namespace zv
