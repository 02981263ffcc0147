// REG entries create or change a string value, delete a value, or delete a
// key with everything below it. Every key opened is closed on every path.
#include <vector>

#include "base/strings.h"
#include "engine/entry_support.h"
#include "engine/nls_class.h"
#include "platform/platform.h"
#include "platform/trace.h"

namespace zv {

namespace {

constexpr uint32_t kSubkeyNameBuffer = 50;

struct Root {
  const char* name;
  RegKey key;
};
constexpr Root kRoots[] = {{"HKLM", kHkeyLocalMachine},
                           {"HKCU", kHkeyCurrentUser},
                           {"HKCR", kHkeyClassesRoot},
                           {"HKU", kHkeyUsers}};

// Keys closed when the handler leaves, whatever the path.
class OpenKey {
 public:
  OpenKey() = default;
  ~OpenKey() {
    if (key_) Platform::current().regCloseKey(key_);
  }
  OpenKey(const OpenKey&) = delete;
  OpenKey& operator=(const OpenKey&) = delete;
  RegKey* out() { return &key_; }
  RegKey get() const { return key_; }

 private:
  RegKey key_ = 0;
};

const std::string& text(DataFile& engine, int n) {
  return engine.catalog().MessageText(n);
}

// A failure is counted against the install unless it only found gone what
// the entry deletes: the machine is then as the package wants it, and a
// second run of the package gives the same result.
void count(DataFile& engine, long result) {
  if (result != kErrorFileNotFound) engine.countError();
}

// "\n<message>:\n     <path>\<key>\n" as an error.
void reportKey(DataFile& engine, int n, long result, const std::string& path, const char* key) {
  count(engine, result);
  TracePrint(1, "\n%s:\n     %s\\%s\n", text(engine, n).c_str(), path.c_str(), key);
}

void reportPath(DataFile& engine, int n, long result, const std::string& path) {
  count(engine, result);
  TracePrint(1, "\n%s:\n     %s\n", text(engine, n).c_str(), path.c_str());
}

// Deletes every subkey of key, deepest first; 1 on success, 0 after
// reporting what failed. key itself stays.
int deleteSubkeys(DataFile& engine, RegKey key, const std::string& path) {
  Platform& platform = Platform::current();
  uint32_t subkeys = 0;
  if (long r = platform.regQuerySubkeyCount(key, &subkeys); r != kErrorSuccess) {
    reportPath(engine, 26, r, path);
    return 0;
  }
  for (;;) {
    char name[kSubkeyNameBuffer];
    uint32_t size = kSubkeyNameBuffer;
    long result = platform.regEnumKey(key, 0, name, &size);
    if (result == kErrorNoMoreItems) break;
    if (result != kErrorSuccess) {
      reportPath(engine, 23, result, path);
      return 0;
    }
    OpenKey subkey;
    if (long r = platform.regOpenKey(key, name, RegAccess::kAllAccess, subkey.out());
        r != kErrorSuccess) {
      reportKey(engine, 19, r, path, name);
      return 0;
    }
    std::string subpath = !path.empty() && path.back() == '\\' ? path + name : path + "\\" + name;
    uint32_t subcount = 0;
    if (long r = platform.regQuerySubkeyCount(subkey.get(), &subcount); r != kErrorSuccess) {
      reportPath(engine, 26, r, subpath);
      return 0;
    }
    // What a failure below leaves is reported when its parent cannot go.
    if (subcount > 0) deleteSubkeys(engine, subkey.get(), subpath);
    if (long r = platform.regDeleteKey(subkey.get(), ""); r != kErrorSuccess) {
      reportPath(engine, 22, r, subpath);
      return 0;
    }
  }
  return 1;
}

}  // namespace

int processRegistry(SectionContext& c, const std::string& line) {
  ConfigData& s = c.settings;
  DataFile& engine = c.engine;
  Platform& platform = Platform::current();
  if (s.debug()) TracePrint(0, "Entered processRegistry\n");
  std::vector<Field> f = splitFields(line, 4);
  const Field& root = f[0];
  Field path = f[1], key = f[2], value = f[3];
  if (value) c.substitutions.substitute(*value);
  if (s.debug()) {
    TracePrint(0, "     section: %s\n", fieldText(root));
    TracePrint(0, "     path:    %s\n", fieldText(path));
    TracePrint(0, "     key:     %s\n", fieldText(key));
    TracePrint(0, "     value:   %s\n", fieldText(value));
  }
  // A path of backslashes only names the root key itself.
  if (!given(path) || path->find_first_not_of('\\') == std::string::npos) path.reset();
  if (!given(key)) key.reset();
  const Root* match = nullptr;
  for (const Root& r : kRoots) {
    if (given(root) && equalsIgnoringCase(*root, r.name)) match = &r;
  }
  // Neither path nor key would delete a whole root key: refused.
  if (!match || (!path && !key)) {
    reportMessage(engine, 18);
    return 0;
  }
  std::string pathText = path ? *path : "";
  const char* keyText = key ? key->c_str() : "(null)";
  OpenKey handle;
  if (value) {
    if (s.debug()) TracePrint(0, "Creating/Changing a registry key\n");
    if (long r = platform.regCreateKey(match->key, pathText, handle.out()); r != kErrorSuccess) {
      reportKey(engine, 21, r, pathText, keyText);
      return 0;
    }
    if (long r = platform.regSetString(handle.get(), key ? *key : "", *value); r != kErrorSuccess) {
      reportKey(engine, 24, r, pathText, keyText);
      return 0;
    }
    return 1;
  }
  if (key) {
    if (s.debug()) TracePrint(0, "Deleting a registry value\n");
    if (long r = platform.regOpenKey(match->key, pathText, RegAccess::kAllAccess, handle.out());
        r != kErrorSuccess) {
      reportKey(engine, 19, r, pathText, keyText);
      return 0;
    }
    if (long r = platform.regDeleteValue(handle.get(), *key); r != kErrorSuccess) {
      reportKey(engine, 25, r, pathText, keyText);
      return 0;
    }
    return 1;
  }
  if (long r = platform.regOpenKey(match->key, pathText, RegAccess::kAllAccess, handle.out());
      r != kErrorSuccess) {
    reportKey(engine, 19, r, pathText, keyText);
    return 0;
  }
  if (s.debug()) TracePrint(0, "Deleting a registry subtree\n");
  if (!deleteSubkeys(engine, handle.get(), pathText)) return 0;
  if (long r = platform.regDeleteKey(handle.get(), ""); r != kErrorSuccess) {
    reportPath(engine, 22, r, pathText);
    return 0;
  }
  return 1;
}

}  // namespace zv
