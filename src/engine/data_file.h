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

// Where the work directories ARCHIVE and ARCHIVE\TEMP are built: under
// the Windows or the product directory, or TEMP again under the ARCHIVE
// directory already built.
enum class WorkBase { kWindowsDir, kProductDir, kCurrentArchive };

// The product's two ZEVRA.INI profiles: the settings in the Windows
// directory (or their registry image) and the product directory's own.
enum class SettingsProfile { kLocation, kProduct };

class DataFile {
 public:
  // Opens the definition file (a missing one gives an empty profile, an
  // unreadable one raises ErrorCode::kFileUnreadable).
  DataFile(const std::string& profileName, ConfigData* settings, NLSClass* catalog);
  ~DataFile();
  DataFile(const DataFile&) = delete;
  DataFile& operator=(const DataFile&) = delete;

  // 1 when at least one patch was processed, else 0. The patch is recorded
  // as installed only when no entry reported an error.
  int install();
  int installPatches();
  // 1 when a record "Patch<N>" of section Install begins with name (any
  // case); *nextPatch is then its index, else the first free one.
  int isPatchInstalled(const std::string& name, int* nextPatch);
  // Writes Patch<index>=name to section Install of the profile.
  void recordPatch(SettingsProfile target, int index, const std::string& name);

  // Evaluates one condition line; when its fields are complete, line is
  // overwritten with its branch field. 1 when the condition holds.
  int testCondition(std::string& line);

  // Walks the section in its disk passes and dispatches every entry line.
  // False when the section ended before its work was done: it does not
  // exist, a diskette is missing in an unattended run, or the work
  // directories cannot be created. Such a section does not count as
  // applied.
  bool processSection(const std::string& name);

  // Builds the work directories at base and creates them when missing; 0
  // after kWorkDirFailed when one cannot be created.
  int setWorkDirs(WorkBase base);

  // What went wrong is reported where it happens; the count decides that
  // the install is not complete, and so not recorded as installed.
  void countError() { ++errors_; }
  int errorCount() const { return errors_; }

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
  int errors_ = 0;
};

}  // namespace zv
