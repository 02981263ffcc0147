// The patch engine: one patch definition file. It checks whether the
// package's patch is installed, evaluates the candidate patches' conditions,
// runs the work section of every patch whose conditions all hold, and
// records the installed patch in the product's settings.
#pragma once

#include <memory>
#include <string>

#include "files/config_data.h"
#include "profile/profile.h"

namespace zv {

class NLSClass;
class SubstituteClass;

class DataFile {
 public:
  // Opens the definition file (a missing one gives an empty profile, an
  // unreadable one raises Error 20).
  DataFile(const std::string& profileName, ConfigData* settings, NLSClass* catalog);
  ~DataFile();
  DataFile(const DataFile&) = delete;
  DataFile& operator=(const DataFile&) = delete;

  // 1 when at least one patch was processed (and recorded), else 0.
  int install();
  int installPatches();
  // 1 when a record "Patch<N>" of section Install begins with name (any
  // case); *nextPatch is then its index, else the first free one.
  int isPatchInstalled(const std::string& name, int* nextPatch);
  // Writes Patch<index>=name to section Install of the location profile
  // (target 0) or of the product profile (target 1).
  void recordPatch(int target, int index, const std::string& name);

  // Evaluates one condition line; when its fields are complete, line is
  // overwritten with its branch field. 1 when the condition holds.
  int testCondition(std::string& line);

  // Walks the section in its disk passes and dispatches every entry line.
  void processSection(const std::string& name);

  // Builds ARCHIVE and ARCHIVE\TEMP under the Windows directory (selector
  // 0) or the product directory (1) and creates them when missing; 0 after
  // message 12 when one cannot be created.
  int setWorkDirs(int selector);

  ConfigData& settings() { return *settings_; }
  NLSClass& catalog() { return *catalog_; }
  Profile& profile() { return *profile_; }
  const std::string& archiveDir() const { return archiveDir_; }
  const std::string& tempDir() const { return tempDir_; }

 private:
  ConfigData* settings_;  // not owned
  std::unique_ptr<Profile> profile_;
  NLSClass* catalog_;  // not owned
  std::string archiveDir_;
  std::string tempDir_;
  std::string profileName_;
};

}  // namespace zv
