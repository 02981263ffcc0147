#include "files/restart_ops.h"

#include <memory>
#include <new>

#include "files/path.h"
#include "platform/error.h"
#include "platform/platform.h"
#include "platform/trace.h"
#include "profile/profile.h"

namespace zv {

namespace {

const char kBackupExtension[] = ".OLD";

}  // namespace

void scheduleViaWininit(const std::string& source, const std::string& destination,
                        ConfigData& config) {
  if (config.debug()) {
    TracePrint(0, "          Lock Src  : %s\n", source.c_str());
    TracePrint(0, "          Lock Dest : %s\n", destination.c_str());
  }
  std::string windows = config.windowsDir();
  if (windows.empty() || windows.back() != '\\') windows += '\\';
  std::string wininit = windows + "WININIT.INI";
  if (config.debug()) TracePrint(0, "          Lock Profile : %s\n", wininit.c_str());
  std::unique_ptr<Profile> profile(new (std::nothrow) Profile(wininit, Profile::kFileMode));
  if (!profile) {
    if (config.debug()) TracePrint(0, "          Lock Profile failure : %s\n", wininit.c_str());
    return;
  }
  profile->addEntry("rename", destination, source, false);
}

void scheduleViaMoveFileEx(const std::string& source, const std::string* destination,
                           ConfigData& config) {
  if (config.debug()) {
    TracePrint(0, "          Lock Src  : %s\n", source.c_str());
    if (destination) {
      TracePrint(0, "          Lock Dest : %s\n", destination->c_str());
    } else {
      TracePrint(0, "          Lock Dest : NULL\n");
    }
  }
  if (!Platform::current().moveAtRestart(source, destination))
    throw Error(29, source, kUnitFiles, __LINE__);
}

void scheduleReplace(const std::string& source, const std::string& destination,
                     ConfigData& config) {
  if (config.osClass() == 1) {
    scheduleViaWininit(source, destination, config);
  } else {
    scheduleViaMoveFileEx(source, &destination, config);
  }
}

void renameFile(const std::string& source, const std::string& destination, ConfigData& config,
                int removeFirst, int backupFirst) {
  std::string sourceDir, sourceName, destinationDir, destinationName;
  splitDirAndName(source, &sourceDir, &sourceName);
  splitDirAndName(destination, &destinationDir, &destinationName);
  renameFileByParts(sourceDir, destinationDir, sourceName, destinationName, config, removeFirst,
                    backupFirst);
}

void renameFileByParts(const std::string& sourceDir, const std::string& destinationDir,
                       const std::string& sourceName, const std::string& destinationName,
                       ConfigData& config, int removeFirst, int backupFirst) {
  std::string source = joinPath(sourceDir, sourceName);
  std::string destination = joinPath(destinationDir, destinationName);
  if (backupFirst) {
    renameFile(destination, replaceExtension(destination, kBackupExtension), config, 1, 0);
  } else if (removeFirst) {
    eraseFile(destination, config, 0);
  }
  scheduleReplace(source, destination, config);
  config.setReplacePending(1);
}

void eraseFile(const std::string& path, ConfigData& config, int backup) {
  if (!Platform::current().exists(path)) return;
  if (backup) {
    renameFile(path, replaceExtension(path, kBackupExtension), config, 1, 0);
  } else if (config.osClass() == 1) {
    scheduleViaWininit(path, "NUL", config);
  } else {
    // Every other family takes the delayed move, as copies and renames do,
    // so a pending restart is never reported with nothing recorded.
    scheduleViaMoveFileEx(path, nullptr, config);
  }
  config.setReplacePending(1);
}

void eraseFileIn(const std::string& directory, const std::string& name, ConfigData& config,
                 int backup) {
  eraseFile(joinPath(directory, name), config, backup);
}

}  // namespace zv
