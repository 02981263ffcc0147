// What changed between two registries, key by key: keys added and removed,
// values added, changed and removed, their data written as REGEDIT4 writes
// it. Names are compared without regard to case, data exactly (type too).
#pragma once

#include <string>
#include <vector>

#include "platform/registry_store.h"

namespace zv {

struct KeyChanges {
  std::string path;  // HKEY_LOCAL_MACHINE\SOFTWARE\...
  // "key added", "key removed", "\"V\" added: ...", "\"V\" changed: a -> b",
  // "\"V\" removed (was: ...)"
  std::vector<std::string> lines;
};

// A value not to compare: it is shown another way.
struct IgnoredValue {
  std::string keyPath;
  std::string name;
};

// The keys with changes, sorted by path without regard to case.
std::vector<KeyChanges> registryChanges(const RegistryStore& before, const RegistryStore& after,
                                        const std::vector<IgnoredValue>& ignored = {});

}  // namespace zv
