// REG entries create or change a string value, delete a value, or delete a
// key with everything below it. Every key opened is closed on every path.
#include <vector>

#include "base/strings.h"
#include "base/windows_path.h"
#include "engine/entry_support.h"
#include "engine/nls_class.h"
#include "platform/platform.h"
#include "platform/registry_names.h"
#include "platform/registry_tree.h"
#include "platform/trace.h"

namespace zv {

namespace {

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

// Deletes every subkey of key, deepest first, reporting what failed; key
// itself stays.
bool deleteSubkeysReporting(DataFile& engine, RegKey key, const std::string& path) {
  return deleteSubkeys(Platform::current(), key, path, [&engine](const KeyTreeFailure& f) {
    switch (f.step) {
      case KeyTreeStep::kCountSubkeys:
        reportPath(engine, 26, f.result, f.path);
        break;
      case KeyTreeStep::kListSubkeys:
        reportPath(engine, 23, f.result, f.path);
        break;
      case KeyTreeStep::kOpenSubkey:
        reportKey(engine, 19, f.result, f.path, f.subkey.c_str());
        break;
      case KeyTreeStep::kDeleteSubkey:
        reportPath(engine, 22, f.result, f.path);
        break;
    }
  });
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
  const RegistryRoot* match = nullptr;
  for (const RegistryRoot& r : kRegistryRoots) {
    if (given(root) && equalsIgnoringCase(*root, r.shortName)) match = &r;
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
    if (long r = platform.regCreateKey(match->handle, pathText, handle.out()); r != kErrorSuccess) {
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
    if (long r = platform.regOpenKey(match->handle, pathText, RegAccess::kAllAccess, handle.out());
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
  if (long r = platform.regOpenKey(match->handle, pathText, RegAccess::kAllAccess, handle.out());
      r != kErrorSuccess) {
    reportKey(engine, 19, r, pathText, keyText);
    return 0;
  }
  if (s.debug()) TracePrint(0, "Deleting a registry subtree\n");
  if (!deleteSubkeysReporting(engine, handle.get(), pathText)) return 0;
  if (long r = platform.regDeleteKey(handle.get(), ""); r != kErrorSuccess) {
    reportPath(engine, 22, r, pathText);
    return 0;
  }
  return 1;
}

}  // namespace zv
