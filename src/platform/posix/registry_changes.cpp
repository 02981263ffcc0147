#include "platform/posix/registry_changes.h"

#include <algorithm>
#include <map>

#include "platform/strings.h"

namespace zv {

namespace {

using Path = std::vector<std::string>;

struct PathLess {
  bool operator()(const Path& a, const Path& b) const {
    return std::lexicographical_compare(
        a.begin(), a.end(), b.begin(), b.end(),
        [](const std::string& x, const std::string& y) { return compareIgnoringCase(x, y) < 0; });
  }
};

using Keys = std::map<Path, std::vector<RegistryStore::Value>, PathLess>;

// Whether key lies below parent.
bool isBelow(const Path& key, const Path& parent) {
  return key.size() > parent.size() &&
         std::equal(parent.begin(), parent.end(), key.begin(), equalsIgnoringCase);
}

std::string joined(const Path& path) {
  std::string s;
  for (const std::string& part : path) s += (s.empty() ? "" : "\\") + part;
  return s;
}

Keys keysOf(const RegistryStore& store, const std::vector<IgnoredValue>& ignored) {
  Keys keys;
  store.forEachKey([&](const Path& path, const std::vector<RegistryStore::Value>& values) {
    std::vector<RegistryStore::Value>& kept = keys[path];
    std::string keyPath = joined(path);
    for (const RegistryStore::Value& v : values) {
      bool skip = false;
      for (const IgnoredValue& i : ignored) {
        skip =
            skip || (equalsIgnoringCase(i.keyPath, keyPath) && equalsIgnoringCase(i.name, v.name));
      }
      if (!skip) kept.push_back(v);
    }
  });
  return keys;
}

const RegistryStore::Value* findValue(const std::vector<RegistryStore::Value>* values,
                                      const std::string& name) {
  if (!values) return nullptr;
  for (const RegistryStore::Value& v : *values) {
    if (equalsIgnoringCase(v.name, name)) return &v;
  }
  return nullptr;
}

std::string dataText(const RegistryStore::Value& v) {
  std::string text;
  appendRegeditData(v.type, v.data, false, &text);
  return text;
}

std::vector<std::string> valueChanges(const std::vector<RegistryStore::Value>* before,
                                      const std::vector<RegistryStore::Value>* after) {
  std::vector<std::string> lines;
  if (after) {
    for (const RegistryStore::Value& v : *after) {
      const RegistryStore::Value* old = findValue(before, v.name);
      std::string name = regeditValueName(v.name);
      if (!old) {
        lines.push_back(name + " added: " + dataText(v));
      } else if (old->type != v.type || old->data != v.data) {
        lines.push_back(name + " changed: " + dataText(*old) + " -> " + dataText(v));
      }
    }
  }
  if (before) {
    for (const RegistryStore::Value& v : *before) {
      if (!findValue(after, v.name)) {
        lines.push_back(regeditValueName(v.name) + " removed (was: " + dataText(v) + ")");
      }
    }
  }
  return lines;
}

}  // namespace

std::vector<KeyChanges> registryChanges(const RegistryStore& before, const RegistryStore& after,
                                        const std::vector<IgnoredValue>& ignored) {
  Keys a = keysOf(before, ignored);
  Keys b = keysOf(after, ignored);
  Keys all = b;
  all.insert(a.begin(), a.end());  // keeps the case of the key as it is now
  std::vector<KeyChanges> changes;
  for (auto it = all.begin(); it != all.end(); ++it) {
    const auto& entry = *it;
    auto ia = a.find(entry.first);
    auto ib = b.find(entry.first);
    KeyChanges key{joined(entry.first), {}};
    // A new key that only leads to newer ones (SOFTWARE\QEL on the way to
    // SOFTWARE\QEL\Driver) is implied by them; the path sorts before its
    // subkeys, so the next key tells.
    auto next = std::next(it);
    const bool leadsOn = next != all.end() && isBelow(next->first, entry.first);
    // The key of a value shown another way comes and goes with it.
    bool holdsIgnored = false;
    for (const IgnoredValue& i : ignored) {
      holdsIgnored = holdsIgnored || equalsIgnoringCase(i.keyPath, key.path);
    }
    if (ia == a.end() && !(leadsOn && ib->second.empty()) && !holdsIgnored) {
      key.lines.push_back("key added");
    }
    if (ib == b.end() && !holdsIgnored) key.lines.push_back("key removed");
    std::vector<std::string> values =
        valueChanges(ia == a.end() ? nullptr : &ia->second, ib == b.end() ? nullptr : &ib->second);
    key.lines.insert(key.lines.end(), values.begin(), values.end());
    if (!key.lines.empty()) changes.push_back(key);
  }
  return changes;
}

}  // namespace zv
