// FILE, SUBST and FINDFILE install package files; COPY, RENAME and ERASE
// work on files already on the machine. Replacing and removing are left to
// the file services, which defer them to the next start of Windows.
#include <optional>
#include <vector>

#include "base/error.h"
#include "base/windows_path.h"
#include "engine/entry_support.h"
#include "engine/nls_class.h"
#include "files/compressed_file.h"
#include "files/file_replace.h"
#include "files/path.h"
#include "files/restart_ops.h"
#include "platform/platform.h"
#include "platform/trace.h"

namespace zv {

namespace {

// A replacement left for the restart becomes the restart request.
void promote(ConfigData& s) {
  if (s.replacePending()) {
    s.setRebootNeeded(1);
    s.setReplacePending(0);
  }
}

// Catalog message of a copy result, if there is one to show.
std::optional<Msg> resultMessage(int code) {
  switch (code) {
    case kCopySameTime:
      return Msg::kResultSameTime;
    case kCopyNewerKept:
      return Msg::kResultNewerKept;
    case kCopyReplaced:
      return Msg::kResultReplaced;
    case kCopyNewerForced:
      return Msg::kResultNewerForced;
    case kCopyInstalled:
      return Msg::kResultInstalled;
    default:
      return std::nullopt;
  }
}

void reportError(DataFile& engine, Msg message, const Error& error) {
  engine.countError();
  TracePrint(1, "\n%s: %s\n", engine.catalog().MessageText(message).c_str(), error.message.c_str());
}

struct FileFields {
  std::string filename;
  std::string installed;  // the entry field, else the filename
  int force, backup, compress;
};

// One package file from the program directory into dir. *staged receives
// the staged copy's path when the file waits for the restart. False when
// the entry's paths do not fit (kInvalidLine).
bool installFile(SectionContext& c, const std::string& dir, const FileFields& f,
                 std::string* staged = nullptr) {
  ConfigData& s = c.settings;
  std::string source = joinPath(s.programDir(), pathFileName(f.filename));
  std::string target = joinPath(dir, pathFileName(f.installed));
  std::string packaged =
      f.compress ? replaceExtension(source, compressedName(pathExtension(source))) : source;
  if (!pathsFit(c.engine, {packaged, target, f.backup ? backupName(target) : "",
                           stagedNameIn(c.engine.tempDir())})) {
    return false;
  }
  try {
    int code =
        copyFile(source, target, c.engine.tempDir(), s, f.force, f.backup, f.compress, staged);
    // The expansion has shown why it failed.
    if (code == kCopyNotExpanded) c.engine.countError();
    std::optional<Msg> message = resultMessage(code);
    if (s.interactive() && message)
      TracePrint(0, "%s (%s)\n", target.c_str(), c.engine.catalog().MessageText(*message).c_str());
  } catch (const Error& error) {
    reportError(c.engine, Msg::kInstallFailed, error);
  }
  promote(s);
  return true;
}

// The file exists, or its existence cannot be ruled out.
bool fileMayExist(const std::string& path) {
  FileStatus status;
  return Platform::current().stat(path, &status) || Platform::current().exists(path);
}

// Every copy of the installed name in dir and below is replaced. Links are
// not followed (one back to a folder above would make the walk endless),
// and the walk ends where no path could be acted on any more.
void findAndInstall(SectionContext& c, const std::string& dir, const FileFields& f) {
  if (fileMayExist(withBackslash(dir) + f.installed)) installFile(c, dir, f);
  std::vector<DirEntry> entries;
  if (!Platform::current().listDir(dir, &entries)) return;
  for (const DirEntry& e : entries) {
    if (!e.isDirectory || e.isLink || e.name == "." || e.name == "..") continue;
    std::string sub = withBackslash(dir) + e.name;
    if (sub.size() < kPathLimit) findAndInstall(c, sub, f);
  }
}

}  // namespace

bool fileEntry(SectionContext& c, PackageEntry kind, const std::string& line) {
  ConfigData& s = c.settings;
  const bool subst = kind == PackageEntry::kSubst;
  const bool find = kind == PackageEntry::kFindFile;
  std::vector<Field> f = splitFields(line, 8);
  const Field &component = f[0], &filename = f[1], &subdir = f[2], &entry = f[3];
  FileFields ff;
  ff.force = numberOr(f[4], s.force() ? 1 : 0);
  ff.backup = numberOr(f[5], s.backup() ? 1 : 0);
  ff.compress = numberOr(f[6], s.compression() ? 1 : 0);
  int disk = numberOr(f[7], 1);
  if (s.debug()) {
    TracePrint(0, "%s", subst ? "     Subst\n" : find ? "     FindFile\n" : "     File\n");
    TracePrint(0, "          component   : %s\n", fieldText(component));
    TracePrint(0, "          filename    : %s\n", fieldText(filename));
    TracePrint(0, "          subdir      : %s\n", fieldText(subdir));
    TracePrint(0, "          entry       : %s\n", fieldText(entry));
    TracePrint(0, "          backup      : %s\n", fieldText(f[5]));
    TracePrint(0, "          backup val  : %d\n", ff.backup);
    TracePrint(0, "          force       : %s\n", fieldText(f[4]));
    TracePrint(0, "          force value : %d\n", ff.force);
    TracePrint(0, "          compress    : %s\n", fieldText(f[6]));
    TracePrint(0, "          compress val: %d\n", ff.compress);
    TracePrint(0, "          disk        : %s\n", fieldText(f[7]));
    TracePrint(0, "          disk val    : %d\n", disk);
  }
  if (!given(filename)) {
    reportMessage(c.engine, Msg::kInvalidLine);
    return true;
  }
  if (disk != c.pass) return true;
  std::string base;
  BaseChoice choice = selectBase(c, component, &base);
  if (choice != BaseChoice::kSelected) return choice != BaseChoice::kAbandon;
  std::string dir = given(subdir) ? withBackslash(base) + *subdir : base;
  ff.filename = *filename;
  ff.installed = given(entry) ? *entry : *filename;
  bool exists = Platform::current().exists(dir);
  if (!exists) {
    reportMessage(c.engine, Msg::kTargetDirMissing);
    if (!subst) return true;
  }
  if (find) {
    findAndInstall(c, dir, ff);
  } else {
    std::string staged;
    if (exists && !installFile(c, dir, ff, &staged)) return true;
    if (subst && pathsFit(c.engine, {withBackslash(dir) + ff.installed})) {
      c.substitutions.substituteInFile(withBackslash(dir) + ff.installed);
      // The copy that replaces the file at the restart gets its directories
      // too; otherwise the file would lose them just when it is updated.
      if (!staged.empty()) c.substitutions.substituteInFile(staged);
    }
  }
  return true;
}

bool localEntry(SectionContext& c, LocalEntry kind, const std::string& line) {
  ConfigData& s = c.settings;
  const bool erase = kind == LocalEntry::kErase;
  const bool copy = kind == LocalEntry::kCopy;
  std::vector<Field> f = splitFields(line, erase ? 3 : 5);
  const Field& component = f[0];
  if (!given(f[1]) || (!erase && !given(f[2]))) {
    reportMessage(c.engine, Msg::kInvalidLine);
    return true;
  }
  if (!c.lastPass()) return true;
  const Field& backupField = erase ? f[2] : f[4];
  int backup = numberOr(backupField, s.backup() ? 1 : 0);
  int force = erase ? 0 : numberOr(f[3], s.force() ? 1 : 0);
  std::string base;
  BaseChoice choice = selectBase(c, component, &base);
  if (choice != BaseChoice::kSelected) return choice != BaseChoice::kAbandon;
  std::string first = withBackslash(base) + *f[1];
  std::string second = erase ? "" : withBackslash(base) + *f[2];
  if (!pathsFit(c.engine, {first, second, backup ? backupName(erase ? first : second) : "",
                           stagedNameIn(c.engine.tempDir())})) {
    return true;
  }
  if (s.debug()) {
    TracePrint(0, erase  ? "     Erase (Local)\n"
                  : copy ? "     Copy (Local)\n"
                         : "     Rename (local)\n");
    TracePrint(0, "          component   : %s\n", fieldText(component));
    if (erase) {
      TracePrint(0, "          filename    : %s\n", first.c_str());
    } else {
      TracePrint(0, "          source      : %s\n", first.c_str());
      TracePrint(0, "          destination : %s\n", second.c_str());
    }
    TracePrint(0, "          backup      : %s\n", fieldText(backupField));
    TracePrint(0, "          backup val  : %d\n", backup);
    if (!erase) {
      TracePrint(0, "          force       : %s\n", fieldText(f[3]));
      TracePrint(0, "          force value : %d\n", force);
    }
  }
  try {
    if (erase) {
      eraseFile(first, s, backup);
    } else if (copy) {
      copyFile(first, second, c.engine.tempDir(), s, force, backup, 0);
    } else {
      renameFile(first, second, s, force, backup);
    }
  } catch (const Error& error) {
    reportError(c.engine,
                erase  ? Msg::kEraseFailed
                : copy ? Msg::kInstallFailed
                       : Msg::kRenameFailed,
                error);
  }
  promote(s);
  return true;
}

}  // namespace zv
