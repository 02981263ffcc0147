// A work section walked in its disk passes, every entry line recognised,
// split and handed to the handler of its kind.
#include <cstdio>
#include <optional>
#include <vector>

#include "engine/data_file.h"
#include "engine/entry_line.h"
#include "engine/nls_class.h"
#include "files/substitute.h"
#include "platform/interaction.h"
#include "platform/platform.h"
#include "platform/strings.h"
#include "platform/trace.h"

namespace zv {

namespace {

using Field = std::optional<std::string>;

enum class Kind { kIni, kReg, kSubst, kFile, kFindFile, kRename, kCopy, kErase, kReboot };

struct KindName {
  Kind kind;
  const char* keyword;
};

// Tried in this order: FILE before FINDFILE is safe, as a keyword must be
// followed by digits or "=".
constexpr KindName kKinds[] = {
    {Kind::kIni, "INI"},   {Kind::kReg, "REG"},           {Kind::kSubst, "SUBST"},
    {Kind::kFile, "FILE"}, {Kind::kFindFile, "FINDFILE"}, {Kind::kRename, "RENAME"},
    {Kind::kCopy, "COPY"}, {Kind::kErase, "ERASE"},       {Kind::kReboot, "REBOOT"},
};

// The fields after "=", absent ones as nullopt.
std::vector<Field> splitFields(const std::string& line, size_t count) {
  FieldSplitter splitter(line);
  splitter.nextToken("=");
  std::vector<Field> fields;
  for (size_t i = 0; i < count; ++i) fields.push_back(splitter.nextToken(","));
  return fields;
}

bool given(const Field& f) {
  return f && !f->empty();
}

// A numeric field's value, or the default the run settings give.
int numberOr(const Field& field, int def) {
  int value;
  return readNumber(field, &value) ? value : def;
}

// base + "\" unless it ends in one + name
std::string joinEntryPath(const std::string& base, const std::string& name) {
  return base.empty() || base.back() == '\\' ? base + name : base + "\\" + name;
}

// The label file of disk pass i in the program directory: ZVPATCH.001...
std::string labelFile(const std::string& programDir, int pass) {
  char name[16];
  std::snprintf(name, sizeof name, "ZVPATCH.%03d", pass % 1000);
  return joinEntryPath(programDir, name);
}

class SectionWalk {
 public:
  SectionWalk(DataFile& engine, SubstituteClass& substitutions)
      : engine_(engine), s_(engine.settings()), substitutions_(substitutions) {}

  // False when the section must be abandoned.
  bool entry(const std::string& line, int pass);

 private:
  void reportLine() { TracePrint(1, "\n%s\n", engine_.catalog().MessageText(18).c_str()); }
  bool lastPass(int pass) const { return pass == s_.diskettes(); }
  // Selects the base directory named by component and prepares the work
  // directories under it; false when the section must be abandoned, with
  // *base empty when the component names no base.
  bool selectBase(const Field& component, std::string* base);
  bool fileEntry(Kind kind, const std::string& line, int pass);
  bool localEntry(Kind kind, const std::string& line, int pass);
  void reboot(const std::string& line, int pass);

  DataFile& engine_;
  ConfigData& s_;
  SubstituteClass& substitutions_;
};

bool SectionWalk::selectBase(const Field& component, std::string* base) {
  base->clear();
  int selector;
  if (component && equalsIgnoringCase(*component, "ZEVRA")) {
    selector = 1;
    *base = s_.productDir();
  } else if (component && equalsIgnoringCase(*component, "WINDOWS")) {
    selector = 0;
    *base = s_.windowsDir();
  } else {
    reportLine();
    return true;
  }
  return engine_.setWorkDirs(selector) == 1;
}

bool SectionWalk::fileEntry(Kind kind, const std::string& line, int pass) {
  std::vector<Field> f = splitFields(line, 8);
  const Field &component = f[0], &filename = f[1], &subdir = f[2], &entry = f[3];
  int force = numberOr(f[4], s_.force() ? 1 : 0);
  int backup = numberOr(f[5], s_.backup() ? 1 : 0);
  int compress = numberOr(f[6], s_.compression() ? 1 : 0);
  int disk = numberOr(f[7], 1);
  if (s_.debug()) {
    TracePrint(0, kind == Kind::kFile    ? "     File\n"
                  : kind == Kind::kSubst ? "     Subst\n"
                                         : "     FindFile\n");
    TracePrint(0, "          component   : %s\n", fieldText(component));
    TracePrint(0, "          filename    : %s\n", fieldText(filename));
    TracePrint(0, "          subdir      : %s\n", fieldText(subdir));
    TracePrint(0, "          entry       : %s\n", fieldText(entry));
    TracePrint(0, "          backup      : %s\n", fieldText(f[5]));
    TracePrint(0, "          backup val  : %d\n", backup);
    TracePrint(0, "          force       : %s\n", fieldText(f[4]));
    TracePrint(0, "          force value : %d\n", force);
    TracePrint(0, "          compress    : %s\n", fieldText(f[6]));
    TracePrint(0, "          compress val: %d\n", compress);
    TracePrint(0, "          disk        : %s\n", fieldText(f[7]));
    TracePrint(0, "          disk val    : %d\n", disk);
  }
  if (!given(filename)) {
    reportLine();
    return true;
  }
  if (disk != pass) return true;
  std::string base;
  if (!selectBase(component, &base)) return false;
  if (base.empty()) return true;
  std::string target = given(subdir) ? joinEntryPath(base, *subdir) : base;
  if (!Platform::current().exists(target)) {
    TracePrint(1, "\n%s\n", engine_.catalog().MessageText(17).c_str());
    if (kind != Kind::kSubst) return true;
  }
  // Installing the package file comes with the file services.
  return true;
}

bool SectionWalk::localEntry(Kind kind, const std::string& line, int pass) {
  bool erase = kind == Kind::kErase;
  std::vector<Field> f = splitFields(line, erase ? 3 : 5);
  if (!given(f[1]) || (!erase && !given(f[2]))) {
    reportLine();
    return true;
  }
  if (!lastPass(pass)) return true;
  std::string base;
  if (!selectBase(f[0], &base)) return false;
  if (base.empty()) return true;
  if (s_.debug()) {
    TracePrint(0, kind == Kind::kCopy     ? "     Copy (Local)\n"
                  : kind == Kind::kRename ? "     Rename (local)\n"
                                          : "     Erase (Local)\n");
  }
  // Copying, renaming and erasing come with the file services.
  if (s_.replacePending()) {
    s_.setRebootNeeded(1);
    s_.setReplacePending(0);
  }
  return true;
}

void SectionWalk::reboot(const std::string& line, int pass) {
  std::vector<Field> f = splitFields(line, 1);
  int value;
  if (lastPass(pass) && readNumber(f[0], &value)) s_.setRebootNeeded(value);
}

bool SectionWalk::entry(const std::string& line, int pass) {
  const KindName* match = nullptr;
  for (const KindName& k : kKinds) {
    if (isEntry(line, k.keyword)) {
      match = &k;
      break;
    }
  }
  if (!match || line.size() > kEntryLineLimit) {
    reportLine();
    return true;
  }
  switch (match->kind) {
    case Kind::kFile:
    case Kind::kSubst:
    case Kind::kFindFile:
      return fileEntry(match->kind, line, pass);
    case Kind::kCopy:
    case Kind::kRename:
    case Kind::kErase:
      return localEntry(match->kind, line, pass);
    case Kind::kReboot:
      reboot(line, pass);
      return true;
    case Kind::kReg:
      if (s_.debug()) TracePrint(0, "     Registry\n");
      return true;
    case Kind::kIni:
      if (s_.debug() && lastPass(pass)) TracePrint(0, "     INI\n");
      return true;
  }
  return true;
}

}  // namespace

void DataFile::processSection(const std::string& name) {
  ConfigData& s = settings();
  int header = profile().findSection(name);
  if (s.debug()) TracePrint(0, "Processing section: %s\n", name.c_str());
  if (header < 0) {
    TracePrint(1, "\n%s\n", catalog().MessageText(18).c_str());
    return;
  }
  SubstituteClass substitutions('\\');
  substitutions.addPair("ZEVRA", s.productDir());
  substitutions.addPair("WINDOWS", s.windowsDir());
  SectionWalk walk(*this, substitutions);
  Platform& platform = Platform::current();

  for (int pass = 1; pass <= s.diskettes(); ++pass) {
    std::string label = labelFile(s.programDir(), pass);
    bool present = true;
    while (!platform.exists(label)) {
      if (s.cid()) {
        TracePrint(0, "\n%s\n", catalog().MessageText(45).c_str());
        present = false;
        break;
      }
      askUser(catalog().MessageText(43), catalog().MessageText(44), kMbOk);
    }
    if (!present) break;
    for (size_t n = static_cast<size_t>(header) + 2;; ++n) {
      const std::string* raw = profile().getLine(n);
      if (!raw || Profile::isSectionHeader(*raw)) break;
      std::string line = *raw;
      trimLine(line);
      pumpMessages();
      if (line.empty() || isComment(line)) continue;
      if (!walk.entry(line, pass)) return;
    }
  }
}

}  // namespace zv
