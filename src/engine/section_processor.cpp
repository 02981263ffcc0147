// A work section walked in its disk passes, every entry line recognised,
// split and handed to the handler of its kind.
#include <cstdio>
#include <optional>
#include <vector>

#include "base/strings.h"
#include "base/windows_path.h"
#include "engine/data_file.h"
#include "engine/entry_line.h"
#include "engine/entry_support.h"
#include "engine/nls_class.h"
#include "files/substitute.h"
#include "platform/interaction.h"
#include "platform/platform.h"
#include "platform/trace.h"

namespace zv {

namespace {

struct Kind {
  const char* keyword;
  // False when the section must be abandoned.
  bool (*handle)(SectionContext& c, const std::string& line);
};

bool onFile(SectionContext& c, const std::string& l) {
  return fileEntry(c, PackageEntry::kFile, l);
}
bool onSubst(SectionContext& c, const std::string& l) {
  return fileEntry(c, PackageEntry::kSubst, l);
}
bool onFindFile(SectionContext& c, const std::string& l) {
  return fileEntry(c, PackageEntry::kFindFile, l);
}
bool onRename(SectionContext& c, const std::string& l) {
  return localEntry(c, LocalEntry::kRename, l);
}
bool onCopy(SectionContext& c, const std::string& l) {
  return localEntry(c, LocalEntry::kCopy, l);
}
bool onErase(SectionContext& c, const std::string& l) {
  return localEntry(c, LocalEntry::kErase, l);
}
bool onIni(SectionContext& c, const std::string& l) {
  return iniEntry(c, l);
}

bool onReg(SectionContext& c, const std::string& l) {
  if (c.settings.debug()) TracePrint(0, "     Registry\n");
  if (c.lastPass()) processRegistry(c, l);
  return true;
}

// The restart request of the run, set in the last pass; a value that is no
// number leaves it as it is.
bool onReboot(SectionContext& c, const std::string& l) {
  int value;
  if (c.lastPass() && readNumber(splitFields(l, 1)[0], &value)) c.settings.setRebootNeeded(value);
  return true;
}

// Tried in this order: FILE before FINDFILE is safe, as a keyword must be
// followed by digits or "=".
constexpr Kind kKinds[] = {
    {"INI", onIni},   {"REG", onReg},           {"SUBST", onSubst},
    {"FILE", onFile}, {"FINDFILE", onFindFile}, {"RENAME", onRename},
    {"COPY", onCopy}, {"ERASE", onErase},       {"REBOOT", onReboot},
};

// The label file of disk pass i in the program directory: ZVPATCH.001...
std::string labelFile(const std::string& programDir, int pass) {
  char name[16];
  std::snprintf(name, sizeof name, "ZVPATCH.%03d", pass % 1000);
  return programDir.empty() ? name : withBackslash(programDir) + name;
}

// False when the section must be abandoned.
bool dispatch(SectionContext& c, const std::string& line) {
  for (const Kind& k : kKinds) {
    if (!isEntry(line, k.keyword)) continue;
    if (line.size() > kEntryLineLimit) break;  // refused, never cut
    return k.handle(c, line);
  }
  reportMessage(c.engine, Msg::kInvalidLine);
  return true;
}

}  // namespace

bool DataFile::processSection(const std::string& name) {
  ConfigData& s = settings();
  int header = profile().findSection(name);
  if (s.debug()) TracePrint(0, "Processing section: %s\n", name.c_str());
  if (header < 0) {
    reportMessage(*this, Msg::kInvalidLine);
    return false;
  }
  SubstituteClass substitutions('\\');
  substitutions.addPair("ZEVRA", s.productDir());
  substitutions.addPair("WINDOWS", s.windowsDir());
  Platform& platform = Platform::current();

  for (int pass = 1; pass <= s.diskettes(); ++pass) {
    std::string label = labelFile(s.programDir(), pass);
    bool present = true;
    while (!platform.exists(label)) {
      if (s.cid()) {
        countError();
        TracePrint(0, "\n%s\n", catalog().MessageText(Msg::kDiskMissing).c_str());
        present = false;
        break;
      }
      askUser(catalog().MessageText(Msg::kInsertDiskText),
              catalog().MessageText(Msg::kInsertDiskCaption), kMbOk);
    }
    if (!present) return false;
    for (size_t n = static_cast<size_t>(header) + 2;; ++n) {
      const std::string* raw = profile().getLine(n);
      if (!raw || Profile::isSectionHeader(*raw)) break;
      std::string line = *raw;
      trimLine(line);
      pumpMessages();
      if (line.empty() || isComment(line)) continue;
      SectionContext context{*this, s, substitutions, pass};
      if (!dispatch(context, line)) return false;
    }
  }
  return true;
}

}  // namespace zv
