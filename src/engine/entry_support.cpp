#include "engine/entry_support.h"

#include <cctype>

#include "base/strings.h"
#include "base/windows_path.h"
#include "engine/entry_line.h"
#include "engine/nls_class.h"
#include "files/path.h"
#include "platform/registry_names.h"
#include "platform/trace.h"

namespace zv {

std::vector<Field> splitFields(const std::string& line, size_t count) {
  FieldSplitter splitter(line);
  splitter.nextToken("=");
  std::vector<Field> fields;
  for (size_t i = 0; i < count; ++i) fields.push_back(splitter.nextToken(","));
  return fields;
}

int numberOr(const Field& field, int def) {
  int value;
  return readNumber(field, &value) ? value : def;
}

namespace {

// strnicmp(text, name, 4) == 0: the end of the text counts as a character,
// so "HKU" must stand alone while "HKLMX" still means HKLM.
bool matchesRoot(const std::string& text, const char* name) {
  for (size_t i = 0; i < 4; ++i) {
    const unsigned char a = i < text.size() ? static_cast<unsigned char>(text[i]) : 0;
    const unsigned char b = static_cast<unsigned char>(name[i]);
    if (std::toupper(a) != std::toupper(b)) return false;
    if (a == 0) return true;
  }
  return true;
}

}  // namespace

RegKey conditionRoot(const Field& field) {
  if (!field) return 0;
  for (const RegistryRoot& r : kRegistryRoots) {
    if (matchesRoot(*field, r.shortName)) return r.handle;
  }
  return 0;
}

void reportMessage(DataFile& engine, Msg message) {
  engine.countError();
  TracePrint(1, "\n%s\n", engine.catalog().MessageText(message).c_str());
}

bool pathsFit(DataFile& engine, std::initializer_list<std::string> paths) {
  for (const std::string& path : paths) {
    if (path.size() > kPathLimit) {
      reportMessage(engine, Msg::kInvalidLine);
      return false;
    }
  }
  return true;
}

std::string stagedNameIn(const std::string& workDir) {
  return joinPath(workDir, "ZVa00000");
}

BaseChoice selectBase(SectionContext& c, const Field& component, std::string* base) {
  WorkBase workBase;
  if (component && equalsIgnoringCase(*component, "ZEVRA")) {
    workBase = WorkBase::kProductDir;
    *base = c.settings.productDir();
  } else if (component && equalsIgnoringCase(*component, "WINDOWS")) {
    workBase = WorkBase::kWindowsDir;
    *base = c.settings.windowsDir();
  } else {
    reportMessage(c.engine, Msg::kInvalidLine);
    return BaseChoice::kNone;
  }
  // Without the directory (no product found), "\ARCHIVE" and "\A.DLL"
  // would name the root of the current drive.
  if (base->empty()) {
    reportMessage(c.engine, Msg::kInvalidLine);
    return BaseChoice::kNone;
  }
  return c.engine.setWorkDirs(workBase) == 1 ? BaseChoice::kSelected : BaseChoice::kAbandon;
}

}  // namespace zv
