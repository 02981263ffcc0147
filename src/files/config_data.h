// The one record of run settings and shared run state. Yes/no settings are
// held as integers and count as set only when exactly 1, so a 2 or a -1
// read from a file means "no".
#pragma once

#include <memory>
#include <string>

#include "files/os_version.h"
#include "profile/profile.h"

namespace zv {

class ConfigData {
 public:
  // Text fields keep at most this many characters.
  static constexpr size_t kTextLimit = 259;

  // The product directory's ZEVRA.INI, and the settings in the Windows
  // directory (or their registry image); a profile set is owned.
  Profile* productProfile() const { return productProfile_.get(); }
  void setProductProfile(std::unique_ptr<Profile> p) { productProfile_ = std::move(p); }
  Profile* locationProfile() const { return locationProfile_.get(); }
  void setLocationProfile(std::unique_ptr<Profile> p) { locationProfile_ = std::move(p); }
  // WININIT.INI as the run last read or wrote it, kept so that each change
  // does not read the whole file again (the profile notices a file changed
  // by anyone else). Released with the settings, before any restart.
  std::shared_ptr<Profile>& wininitProfile() const { return wininitProfile_; }

  const std::string& programDir() const { return programDir_; }
  void setProgramDir(const std::string& dir) { programDir_ = dir.substr(0, kTextLimit); }
  const std::string& productDir() const { return productDir_; }
  void setProductDir(const std::string& dir) { productDir_ = dir.substr(0, kTextLimit); }
  const std::string& windowsDir() const { return windowsDir_; }
  void setWindowsDir(const std::string& dir) { windowsDir_ = dir.substr(0, kTextLimit); }

  bool compression() const { return compression_ == 1; }
  void setCompression(int v) { compression_ = v; }
  bool interactive() const { return interactive_ == 1; }
  void setInteractive(int v) { interactive_ = v; }
  bool cid() const { return cid_ == 1; }
  int cidRaw() const { return cid_; }
  void setCid(int v) { cid_ = v; }
  OsClass osClass() const { return osClass_; }
  void setOsClass(OsClass v) { osClass_ = v; }
  OsDetection osDetection() const { return osDetection_; }
  void setOsDetection(OsDetection v) { osDetection_ = v; }
  bool rebootNeeded() const { return rebootNeeded_ == 1; }
  int rebootNeededRaw() const { return rebootNeeded_; }
  void setRebootNeeded(int v) { rebootNeeded_ = v; }
  bool debug() const { return debug_ == 1; }
  void setDebug(int v) { debug_ = v; }
  bool replacePending() const { return replacePending_ == 1; }
  void setReplacePending(int v) { replacePending_ = v; }
  bool force() const { return force_ == 1; }
  void setForce(int v) { force_ = v; }
  bool backup() const { return backup_ == 1; }
  void setBackup(int v) { backup_ = v; }
  int diskettes() const { return diskettes_; }
  void setDiskettes(int v) { diskettes_ = v; }
  bool allowReinstall() const { return allowReinstall_ == 1; }
  void setAllowReinstall(int v) { allowReinstall_ = v; }
  bool registryLocation() const { return registryLocation_ == 1; }
  void setRegistryLocation(int v) { registryLocation_ = v; }

 private:
  std::unique_ptr<Profile> productProfile_;
  std::unique_ptr<Profile> locationProfile_;
  mutable std::shared_ptr<Profile> wininitProfile_;
  std::string programDir_;
  std::string productDir_;
  std::string windowsDir_;
  int compression_ = 0;
  int interactive_ = 0;
  int cid_ = 0;
  OsClass osClass_ = OsClass::kOther;
  OsDetection osDetection_ = OsDetection::kOther;
  int rebootNeeded_ = 0;
  int debug_ = 0;
  int replacePending_ = 0;
  int force_ = 0;
  int backup_ = 1;
  int diskettes_ = 1;
  int allowReinstall_ = 0;
  int registryLocation_ = 0;
};

}  // namespace zv
