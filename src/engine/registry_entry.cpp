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

const std::string& text(DataFile& engine, Msg message) {
  return engine.catalog().MessageText(message);
}

// A failure is counted against the install unless it only found gone what
// the entry deletes: the machine is then as the package wants it, and a
// second run of the package gives the same result.
void count(DataFile& engine, long result) {
  if (result != kErrorFileNotFound) engine.countError();
}

// "\n<message>:\n     <path>\<key>\n" as an error.
void reportKey(DataFile& engine, Msg message, long result, const std::string& path,
               const char* key) {
  count(engine, result);
  TracePrint(1, "\n%s:\n     %s\\%s\n", text(engine, message).c_str(), path.c_str(), key);
}

void reportPath(DataFile& engine, Msg message, long result, const std::string& path) {
  count(engine, result);
  TracePrint(1, "\n%s:\n     %s\n", text(engine, message).c_str(), path.c_str());
}

// Deletes every subkey of key, deepest first, reporting what failed; key
// itself stays.
bool deleteSubkeysReporting(DataFile& engine, RegKey key, const std::string& path) {
  return deleteSubkeys(Platform::current(), key, path, [&engine](const KeyTreeFailure& f) {
    switch (f.step) {
      case KeyTreeStep::kCountSubkeys:
        reportPath(engine, Msg::kSubkeysCountFailed, f.result, f.path);
        break;
      case KeyTreeStep::kListSubkeys:
        reportPath(engine, Msg::kSubkeysListFailed, f.result, f.path);
        break;
      case KeyTreeStep::kOpenSubkey:
        reportKey(engine, Msg::kKeyOpenFailed, f.result, f.path, f.subkey.c_str());
        break;
      case KeyTreeStep::kDeleteSubkey:
        reportPath(engine, Msg::kKeyDeleteFailed, f.result, f.path);
        break;
    }
  });
}

// Where an entry acts: a root key, a path below it and, for a value, its
// name.
struct RegistryTarget {
  RegKey root;
  std::string path;
  Field key;
  const char* keyText() const { return key ? key->c_str() : "(null)"; }
};

int setValue(DataFile& engine, const RegistryTarget& t, const std::string& value) {
  Platform& platform = Platform::current();
  OpenKey handle;
  if (long r = platform.regCreateKey(t.root, t.path, handle.out()); r != kErrorSuccess) {
    reportKey(engine, Msg::kKeyCreateFailed, r, t.path, t.keyText());
    return 0;
  }
  if (long r = platform.regSetString(handle.get(), t.key ? *t.key : "", value);
      r != kErrorSuccess) {
    reportKey(engine, Msg::kValueSetFailed, r, t.path, t.keyText());
    return 0;
  }
  return 1;
}

// Opens the target's key for a deletion; false after the message.
bool openForChange(DataFile& engine, const RegistryTarget& t, OpenKey* handle) {
  const long r =
      Platform::current().regOpenKey(t.root, t.path, RegAccess::kAllAccess, handle->out());
  if (r == kErrorSuccess) return true;
  reportKey(engine, Msg::kKeyOpenFailed, r, t.path, t.keyText());
  return false;
}

int deleteValue(DataFile& engine, const RegistryTarget& t) {
  Platform& platform = Platform::current();
  OpenKey handle;
  if (!openForChange(engine, t, &handle)) return 0;
  if (long r = platform.regDeleteValue(handle.get(), *t.key); r != kErrorSuccess) {
    reportKey(engine, Msg::kValueDeleteFailed, r, t.path, t.keyText());
    return 0;
  }
  return 1;
}

int deleteTree(DataFile& engine, const RegistryTarget& t, bool debug) {
  Platform& platform = Platform::current();
  OpenKey handle;
  if (!openForChange(engine, t, &handle)) return 0;
  if (debug) TracePrint(0, "Deleting a registry subtree\n");
  if (!deleteSubkeysReporting(engine, handle.get(), t.path)) return 0;
  if (long r = platform.regDeleteKey(handle.get(), ""); r != kErrorSuccess) {
    reportPath(engine, Msg::kKeyDeleteFailed, r, t.path);
    return 0;
  }
  return 1;
}

}  // namespace

int processRegistry(SectionContext& c, const std::string& line) {
  const bool debug = c.settings.debug();
  if (debug) TracePrint(0, "Entered processRegistry\n");
  std::vector<Field> f = splitFields(line, 4);
  const Field& root = f[0];
  Field path = f[1], key = f[2], value = f[3];
  if (value) c.substitutions.substitute(*value);
  if (debug) {
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
    reportMessage(c.engine, Msg::kInvalidLine);
    return 0;
  }
  const RegistryTarget target{match->handle, path ? *path : "", key};
  if (value) {
    if (debug) TracePrint(0, "Creating/Changing a registry key\n");
    return setValue(c.engine, target, *value);
  }
  if (key) {
    if (debug) TracePrint(0, "Deleting a registry value\n");
    return deleteValue(c.engine, target);
  }
  return deleteTree(c.engine, target, debug);
}

}  // namespace zv
