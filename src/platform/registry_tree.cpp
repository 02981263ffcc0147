#include "platform/registry_tree.h"

#include "base/windows_path.h"

namespace zv {

namespace {
// The subkey names the product's keys use fit; a longer one fails the list.
constexpr uint32_t kSubkeyNameBuffer = 50;
}  // namespace

bool deleteSubkeys(Platform& platform, RegKey key, const std::string& path,
                   const std::function<void(const KeyTreeFailure&)>& report) {
  auto fail = [&](KeyTreeStep step, long result, const std::string& where,
                  const std::string& subkey) {
    if (report) report({step, result, where, subkey});
    return false;
  };
  uint32_t subkeys = 0;
  if (long r = platform.regQuerySubkeyCount(key, &subkeys); r != kErrorSuccess)
    return fail(KeyTreeStep::kCountSubkeys, r, path, "");
  for (;;) {
    char name[kSubkeyNameBuffer];
    uint32_t size = kSubkeyNameBuffer;
    long result = platform.regEnumKey(key, 0, name, &size);
    if (result == kErrorNoMoreItems) return true;
    if (result != kErrorSuccess) return fail(KeyTreeStep::kListSubkeys, result, path, "");
    RegKey subkey;
    if (long r = platform.regOpenKey(key, name, RegAccess::kAllAccess, &subkey); r != kErrorSuccess)
      return fail(KeyTreeStep::kOpenSubkey, r, path, name);
    const std::string subpath = withBackslash(path) + name;
    uint32_t subcount = 0;
    long r = platform.regQuerySubkeyCount(subkey, &subcount);
    if (r != kErrorSuccess) {
      platform.regCloseKey(subkey);
      return fail(KeyTreeStep::kCountSubkeys, r, subpath, "");
    }
    // What a failure below leaves is reported when its parent cannot go.
    if (subcount > 0) deleteSubkeys(platform, subkey, subpath, report);
    r = platform.regDeleteKey(subkey, "");
    platform.regCloseKey(subkey);
    if (r != kErrorSuccess) return fail(KeyTreeStep::kDeleteSubkey, r, subpath, "");
  }
}

}  // namespace zv
