#include "tools/diff/ini_changes.h"

#include <algorithm>

#include "base/strings.h"
#include "base/text_lines.h"

namespace zv {

namespace {

struct IniKey {
  std::string name;
  bool hasValue = false;  // the line has an "="
  std::string value;
  bool operator==(const IniKey& o) const { return hasValue == o.hasValue && value == o.value; }
};

struct IniSection {
  std::string name;
  std::vector<IniKey> keys;  // in file order
};

template <typename T>
T* findByName(std::vector<T>& items, const std::string& name) {
  for (T& item : items) {
    if (equalsIgnoringCase(item.name, name)) return &item;
  }
  return nullptr;
}

// Sections named twice are read as one, as their keys all answer queries.
std::vector<IniSection> parseIni(const std::string& text) {
  std::vector<IniSection> sections;
  IniSection* current = nullptr;
  for (std::string line : textLines(text, true)) {
    line = trimmed(line);
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      std::string name = trimmed(line.substr(1, line.find(']') - 1));
      current = findByName(sections, name);
      if (!current) {
        sections.push_back(IniSection{name, {}});
        current = &sections.back();
      }
      continue;
    }
    if (!current) continue;
    IniKey key;
    size_t eq = line.find('=');
    key.name = trimmed(line.substr(0, eq));
    if (eq != std::string::npos) {
      key.hasValue = true;
      key.value = trimmed(line.substr(eq + 1));
    }
    current->keys.push_back(key);
  }
  return sections;
}

std::vector<IniKey> valuesOf(const IniSection* section, const std::string& name) {
  std::vector<IniKey> values;
  if (!section) return values;
  for (const IniKey& key : section->keys) {
    if (equalsIgnoringCase(key.name, name)) values.push_back(key);
  }
  return values;
}

// Names in the order of `after`, then those only in `before`, once each.
template <typename T>
std::vector<std::string> unionOfNames(const std::vector<T>* before, const std::vector<T>* after) {
  std::vector<std::string> names;
  for (const std::vector<T>* items : {after, before}) {
    if (!items) continue;
    for (const T& item : *items) {
      bool seen = false;
      for (const std::string& n : names) seen = seen || equalsIgnoringCase(n, item.name);
      if (!seen) names.push_back(item.name);
    }
  }
  return names;
}

class KeyReport {
 public:
  KeyReport(const std::string& section, const std::string& key, std::vector<std::string>* out)
      : prefix_("[" + section + "] " + key), out_(out) {}

  void added(const IniKey& k) { put(k.hasValue ? " added: " + k.value : " added"); }
  void removed(const IniKey& k) {
    put(k.hasValue ? " removed (was: " + k.value + ")" : " removed");
  }
  void changed(const IniKey& a, const IniKey& b) { put(" changed: " + a.value + " -> " + b.value); }

  // The lists of one key's values: one value each is a change; otherwise
  // the values added and removed, by their longest common run.
  void compare(const std::vector<IniKey>& a, const std::vector<IniKey>& b) {
    if (a == b) return;
    if (a.size() == 1 && b.size() == 1 && a[0].hasValue && b[0].hasValue) {
      changed(a[0], b[0]);
      return;
    }
    std::vector<std::vector<size_t>> common(a.size() + 1, std::vector<size_t>(b.size() + 1, 0));
    for (size_t i = a.size(); i-- > 0;) {
      for (size_t j = b.size(); j-- > 0;) {
        common[i][j] =
            a[i] == b[j] ? common[i + 1][j + 1] + 1 : std::max(common[i + 1][j], common[i][j + 1]);
      }
    }
    size_t i = 0, j = 0;
    while (i < a.size() || j < b.size()) {
      if (i < a.size() && j < b.size() && a[i] == b[j]) {
        ++i, ++j;
      } else if (i < a.size() && (j == b.size() || common[i + 1][j] >= common[i][j + 1])) {
        removed(a[i++]);
      } else {
        added(b[j++]);
      }
    }
  }

 private:
  void put(const std::string& what) {
    std::string line = prefix_ + what;
    line.erase(line.find_last_not_of(' ') + 1);
    out_->push_back(line);
  }

  std::string prefix_;
  std::vector<std::string>* out_;
};

}  // namespace

std::vector<std::string> iniChanges(const std::string& before, const std::string& after) {
  std::vector<IniSection> a = parseIni(before);
  std::vector<IniSection> b = parseIni(after);
  std::vector<std::string> lines;
  for (const std::string& sectionName : unionOfNames(&a, &b)) {
    const IniSection* sa = findByName(a, sectionName);
    const IniSection* sb = findByName(b, sectionName);
    for (const std::string& keyName :
         unionOfNames(sa ? &sa->keys : nullptr, sb ? &sb->keys : nullptr)) {
      KeyReport(sectionName, keyName, &lines).compare(valuesOf(sa, keyName), valuesOf(sb, keyName));
    }
  }
  return lines;
}

}  // namespace zv
