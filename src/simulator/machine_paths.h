// Where a Windows path of the simulated machine lives on the host. X:\...
// is under drive_x/ of the machine directory. A path without a drive letter
// is the host's own only when it lies within a host path a person handed
// over (the program's folder, the paths of its command line, TEMP);
// otherwise a rooted one (\X) is on the machine's system drive, as Windows
// reads it on the current drive, and a relative one stays within the
// current directory. A UNC path names nothing, and no link leads out of the
// machine.
#pragma once

#include <map>
#include <string>
#include <unordered_map>
#include <vector>

namespace zv {

class ShortNames;

class MachinePaths {
 public:
  explicit MachinePaths(std::string machineDir) : machineDir_(std::move(machineDir)) {}

  // A host path (absolute, or relative to the current directory) handed
  // over by a person: paths without a drive letter within it are the
  // host's. The host's root is never handed over.
  void handOver(const std::string& hostPath);
  // The drive of the Windows directory, where rooted paths live.
  void setSystemDrive(char letter) { systemDrive_ = letter; }
  // On a Windows 95/98/Me machine: lookups accept the short names too.
  void setShortNames(ShortNames* shortNames) { shortNames_ = shortNames; }

  // The host path for a Windows path, or empty when it may name nothing
  // (a UNC path, or a link that leads out of the machine, or out of the
  // current directory for a relative path). Every component that exists is
  // found without regard to case (an exact match first); the others keep
  // the case they are given, so new files are created as named. "." and
  // ".." are resolved by name, never above a drive's root or the current
  // directory.
  std::string toHost(const std::string& windowsPath) const;

  // The host folder of drive letter d (drive_d).
  std::string driveDir(char letter) const;

  // Names are found without regard to case from listings of the folders,
  // made once and kept in step with every change made through the machine,
  // which reports them here by host path (as toHost gave it): a folder of
  // many files is not read again for each name looked up.
  void added(const std::string& hostPath) const;
  void removed(const std::string& hostPath) const;

 private:
  // A folder's names by their upper-case form; several may differ only in
  // case, the first one listed is the one found.
  using Listing = std::unordered_map<std::string, std::vector<std::string>>;
  // The name in folder dir equal to name without regard to case, or empty.
  std::string findIgnoringCase(const std::string& dir, const std::string& name) const;
  std::string lookUp(std::string host, bool absolute, const std::vector<std::string>& parts,
                     const std::string& fence, ShortNames* shortNames) const;

  // Within one of the handed-over paths (absolute, resolved by name).
  bool handedOver(const std::string& absolute) const;

  std::string machineDir_;
  mutable std::string machineFence_;     // the machine directory, links resolved
  std::vector<std::string> handedOver_;  // absolute, resolved by name
  char systemDrive_ = 'C';
  ShortNames* shortNames_ = nullptr;                 // not owned
  mutable std::map<std::string, Listing> listings_;  // by host folder
};

// The Windows path of a path relative to the machine directory, the names
// as they are on disk: "drive_c/PROD/X.DLL" is C:\PROD\X.DLL and "drive_c"
// is C:\. Empty for a path that is not on a drive.
std::string windowsPathOf(const std::string& machineRelative);

}  // namespace zv
