#include "files/restart_ops.h"

#include <memory>
#include <new>
#include <utility>

#include "base/error.h"
#include "base/short_name.h"
#include "base/strings.h"
#include "base/windows_path.h"
#include "files/file_copy.h"
#include "files/path.h"
#include "platform/platform.h"
#include "platform/registry_names.h"
#include "platform/trace.h"
#include "profile/profile.h"

namespace zv {

namespace {

const char kRenameSection[] = "rename";
const char kDeleteKey[] = "NUL";

std::string wininitPath(const ConfigData& config) {
  return withBackslash(config.windowsDir()) + "WININIT.INI";
}

void traceLock(const ConfigData& config, const std::string& source, const std::string* dest) {
  if (!config.debug()) return;
  TracePrint(0, "          Lock Src  : %s\n", source.c_str());
  if (dest) {
    TracePrint(0, "          Lock Dest : %s\n", dest->c_str());
  } else {
    TracePrint(0, "          Lock Dest : NULL\n");
  }
}

// The paths of a delayed-move list, without "!" and "\??\".
std::string movePath(std::string path) {
  if (!path.empty() && path[0] == '!') path.erase(0, 1);
  if (path.compare(0, 4, "\\??\\") == 0) path.erase(0, 4);
  return path;
}

// The Windows 95/98/Me family carries out WININIT.INI before long names
// are known: a path there names each long directory and file by its short
// name. A name that does not exist yet must be a short name itself; so
// must the file a line puts in place (as destination): replaced through its
// short name, a file with a long name would keep only the short one. False
// when the path cannot be written so.
bool wininitForm(const std::string& path, bool destination, std::string* form) {
  Platform& platform = Platform::current();
  size_t pos = path.size() >= 2 && path[1] == ':' ? 2 : 0;
  bool rooted = pos < path.size() && (path[pos] == '\\' || path[pos] == '/');
  std::vector<std::string> names;
  for (size_t start = pos; start < path.size();) {
    size_t end = path.find_first_of("\\/", start);
    if (end == std::string::npos) end = path.size();
    if (end > start) names.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  std::string real = path.substr(0, pos) + (rooted ? "\\" : "");
  *form = real;
  for (size_t i = 0; i < names.size(); ++i) {
    const std::string& name = names[i];
    const char* separator = i == 0 ? "" : "\\";
    real += separator + name;
    if (isShortName(name) || name == "." || name == "..") {
      *form += separator + name;
      continue;
    }
    std::string shortForm;
    bool last = i + 1 == names.size();
    if ((last && destination) || !platform.shortPath(real, &shortForm)) return false;
    *form += separator + shortForm.substr(shortForm.find_last_of("\\/") + 1);
  }
  return true;
}

std::string longNameReason(const std::string& path) {
  return path + " cannot be replaced at the next start of this Windows: it has a long name";
}

// The run's profile of WININIT.INI at path; nullptr when there is no
// memory for one.
Profile* heldWininit(const ConfigData& config, const std::string& path) {
  std::shared_ptr<Profile>& held = config.wininitProfile();
  // A profile keeps its lines when its file goes; a new one starts empty.
  if (!held || held->name() != path || !Platform::current().exists(path)) {
    held.reset();
    held.reset(new (std::nothrow) Profile(path, Profile::kFileMode));
  }
  return held.get();
}

// Appends "key=value" lines to [rename] of WININIT.INI in one write of the
// file, after their trace lines.
void writeWininit(const ConfigData& config,
                  const std::vector<std::pair<std::string, std::string>>& lines) {
  std::string wininit = wininitPath(config);
  for (const auto& line : lines) {
    traceLock(config, line.second, &line.first);
    if (config.debug()) TracePrint(0, "          Lock Profile : %s\n", wininit.c_str());
  }
  Profile* profile = heldWininit(config, wininit);
  if (!profile) {
    if (config.debug()) TracePrint(0, "          Lock Profile failure : %s\n", wininit.c_str());
    return;
  }
  profile->addEntries(kRenameSection, lines);
  profile->markWritten();
}

}  // namespace

void scheduleViaWininit(const std::string& source, const std::string& destination,
                        ConfigData& config) {
  writeWininit(config, {{destination, source}});
}

void scheduleViaMoveFileEx(const std::string& source, const std::string* destination,
                           ConfigData& config) {
  traceLock(config, source, destination);
  if (!Platform::current().moveAtRestart(source, destination))
    throw Error(ErrorCode::kRestartRefused, source, kUnitFiles, __LINE__);
}

void scheduleReplace(const std::string& source, const std::string& destination,
                     ConfigData& config) {
  RestartBatch batch(config);
  batch.replace(source, destination);
  batch.commit();
}

void renameFile(const std::string& source, const std::string& destination, ConfigData& config,
                bool removeFirst, bool backupFirst) {
  RestartBatch batch(config);
  batch.rename(source, destination, removeFirst, backupFirst);
  batch.commit();
}

void renameFileByParts(const std::string& sourceDir, const std::string& destinationDir,
                       const std::string& sourceName, const std::string& destinationName,
                       ConfigData& config, bool removeFirst, bool backupFirst) {
  renameFile(joinPath(sourceDir, sourceName), joinPath(destinationDir, destinationName), config,
             removeFirst, backupFirst);
}

void eraseFile(const std::string& path, ConfigData& config, bool backup) {
  RestartBatch batch(config);
  batch.erase(path, backup);
  batch.commit();
}

void eraseFileIn(const std::string& directory, const std::string& name, ConfigData& config,
                 bool backup) {
  eraseFile(joinPath(directory, name), config, backup);
}

std::string backupName(const std::string& path) {
  return replaceExtension(path, ".OLD");
}

bool replacementPending(const std::string& destination, ConfigData& config) {
  if (config.osClass() == OsClass::kWindows9x) {
    const std::string path = wininitPath(config);
    Profile* wininit = heldWininit(config, path);
    if (!wininit) return false;
    const char kNone[] = "\n";  // no line can hold it
    return wininit->getString(kRenameSection, destination, kNone) != kNone;
  }
  std::vector<std::string> strings = pendingMoveStrings(Platform::current());
  for (size_t i = 0; i + 1 < strings.size(); i += 2) {
    if (!strings[i + 1].empty() && equalsIgnoringCase(movePath(strings[i + 1]), destination))
      return true;
  }
  return false;
}

// ---- RestartBatch

RestartBatch::~RestartBatch() {
  // Copies made for operations that were never recorded.
  for (const ScheduledMove& op : operations_) {
    if (op.copyMadeNow) Platform::current().deleteFile(op.source);
  }
}

void RestartBatch::erase(const std::string& path, bool backup) {
  if (!Platform::current().exists(path)) return;
  if (backup) {
    rename(path, backupName(path), true, false);
  } else {
    operations_.push_back({path, "", false, false});
  }
}

void RestartBatch::rename(const std::string& source, const std::string& destination,
                          bool removeFirst, bool backupFirst) {
  std::string sourceDir, sourceName, destinationDir, destinationName;
  splitDirAndName(source, &sourceDir, &sourceName);
  splitDirAndName(destination, &destinationDir, &destinationName);
  std::string from = joinPath(sourceDir, sourceName);
  std::string to = joinPath(destinationDir, destinationName);
  if (backupFirst) {
    backup(to);
  } else if (removeFirst && config_.osClass() == OsClass::kWindows9x) {
    // A delayed move replaces the destination by itself; a deletion
    // recorded before it would leave no file if the move were never
    // recorded.
    erase(to, false);
  }
  replace(from, to);
}

void RestartBatch::backup(const std::string& path) {
  const bool wininit = config_.osClass() == OsClass::kWindows9x;
  std::string copy;
  if (!wininit && copyForBackup(path, &copy)) {
    // Delayed moves are recorded one call at a time, and a moment can come
    // between two calls (a crash, a power cut): had the file been moved
    // away to its backup, it would be missing after the restart. A copy
    // made now becomes the backup, replacing an older one.
    operations_.push_back({copy, backupName(path), true, false});
    return;
  }
  rename(path, backupName(path), true, false);
  if (!wininit) operations_.back().movesAway = true;
}

void RestartBatch::replace(const std::string& source, const std::string& destination) {
  operations_.push_back({source, destination, false, false});
}

bool RestartBatch::copyForBackup(const std::string& path, std::string* copy) {
  Platform& platform = Platform::current();
  std::unique_ptr<File> in = platform.open(path, FileMode::kRead);
  DosStamp stamp;
  if (!in || !in->getStamp(&stamp)) return false;
  size_t slash = path.find_last_of("\\/:");
  std::string dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  *copy = platform.makeUniqueName(dir + "ZBXXXXXX");
  if (copy->empty()) return false;
  std::unique_ptr<File> out = platform.open(*copy, FileMode::kCreateNew);
  if (!out) return false;
  bool made = false;
  try {
    copyContents(*in, path, *out, *copy);
    made = out->setStamp(stamp) && out->close();
  } catch (const Error&) {
  }
  if (!made) {
    out.reset();
    platform.deleteFile(*copy);
  }
  return made;
}

void RestartBatch::commit() {
  if (operations_.empty()) return;
  if (config_.osClass() == OsClass::kWindows9x) {
    commitToWininit();
  } else {
    // Every other family takes the delayed move, as copies and renames
    // do, so a pending restart is never reported with nothing recorded.
    commitAsDelayedMoves();
  }
  operations_.clear();
  config_.setReplacePending(1);
}

void RestartBatch::commitToWininit() {
  // Every line first: one that cannot be written leaves none recorded.
  // Checked from the last line on, which puts the file itself in place, so
  // that a refusal names that file rather than its backup.
  std::vector<std::pair<std::string, std::string>> lines(operations_.size());
  for (size_t i = operations_.size(); i-- > 0;) {
    const ScheduledMove& op = operations_[i];
    std::string source, destination = kDeleteKey;
    if (!op.destination.empty() && !wininitForm(op.destination, true, &destination))
      throw Error(ErrorCode::kRestartRefused, longNameReason(op.destination), kUnitFiles, __LINE__);
    if (!wininitForm(op.source, false, &source))
      throw Error(ErrorCode::kRestartRefused, longNameReason(op.source), kUnitFiles, __LINE__);
    lines[i] = {destination, source};
  }
  writeWininit(config_, lines);
}

void RestartBatch::commitAsDelayedMoves() {
  for (size_t i = 0; i < operations_.size(); ++i) {
    const ScheduledMove& op = operations_[i];
    try {
      scheduleViaMoveFileEx(op.source, op.destination.empty() ? nullptr : &op.destination, config_);
    } catch (const Error&) {
      // A file an earlier move takes away is moved back, so that it is
      // not missing after the restart; the failure is reported all the
      // same. What was recorded is no longer this batch's to undo.
      for (size_t j = i; j-- > 0;) {
        const ScheduledMove& done = operations_[j];
        if (done.movesAway) Platform::current().moveAtRestart(done.destination, &done.source);
      }
      operations_.erase(operations_.begin(), operations_.begin() + static_cast<ptrdiff_t>(i));
      throw;
    }
  }
}

}  // namespace zv
