#include "simulator/short_names.h"

#include <dirent.h>

#include <algorithm>
#include <cctype>
#include <iostream>
#include <vector>

#include "base/short_name.h"
#include "base/strings.h"
#include "simulator/posix_file.h"
#include "simulator/tool_name.h"

namespace zv {

const char kShortNamesFile[] = "short-names";

namespace {

void splitLast(const std::string& path, std::string* dir, std::string* name) {
  size_t slash = path.rfind('/');
  *dir = slash == std::string::npos ? "" : path.substr(0, slash);
  *name = slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

bool ShortNames::load(const std::string& text, std::string* error) {
  dirs_.clear();
  listed_.clear();
  size_t line = 0;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string entry = text.substr(start, end - start);
    start = end + 1;
    ++line;
    if (!entry.empty() && entry.back() == '\r') entry.pop_back();
    if (entry.empty()) continue;
    size_t tab = entry.find('\t');
    std::string dir, name;
    if (tab != std::string::npos) splitLast(entry.substr(0, tab), &dir, &name);
    std::string alias = tab == std::string::npos ? "" : entry.substr(tab + 1);
    if (tab == std::string::npos || dir.compare(0, 6, "drive_") != 0 || name.empty() ||
        !isShortName(alias)) {
      *error = machineDir_ + "/" + kShortNamesFile + ":" + std::to_string(line) +
               ": not PATH<TAB>SHORT NAME";
      return false;
    }
    dirs_[dir][name] = upperCased(alias);
  }
  return true;
}

ShortNames::Aliases* ShortNames::aliasesOf(const std::string& dir) {
  const std::string prefix = machineDir_ + "/";
  if (dir.compare(0, prefix.size(), prefix) != 0) return nullptr;
  std::string relative = dir.substr(prefix.size());
  if (relative.compare(0, 6, "drive_") != 0) return nullptr;
  Aliases& aliases = dirs_[relative];
  if (listed_.count(relative)) return &aliases;
  // The entries as they are now: gone ones lose their alias, long names
  // without one get one, in name order.
  Names& names = listed_[relative];
  if (DIR* d = ::opendir(dir.c_str())) {
    while (struct dirent* e = ::readdir(d)) {
      std::string name = e->d_name;
      if (name != "." && name != "..") names.insert(name);
    }
    ::closedir(d);
  }
  std::vector<std::string> inOrder(names.begin(), names.end());
  std::sort(inOrder.begin(), inOrder.end(), [](const std::string& a, const std::string& b) {
    return compareIgnoringCase(a, b) < 0;
  });
  bool changed = false;
  for (auto it = aliases.begin(); it != aliases.end();) {
    bool present = names.count(it->first) != 0;
    changed |= !present;
    it = present ? std::next(it) : aliases.erase(it);
  }
  for (const std::string& name : inOrder) {
    if (!isShortName(name) && !aliases.count(name)) {
      assign(name, names, &aliases);
      changed = true;
    }
  }
  if (changed) save();
  return &aliases;
}

void ShortNames::assign(const std::string& name, const Names& names, Aliases* aliases) {
  // Taken: another alias, or the name of an entry (a short name is its own).
  auto taken = [&](const std::string& candidate) {
    for (const auto& a : *aliases) {
      if (equalsIgnoringCase(a.second, candidate)) return true;
    }
    for (const std::string& n : names) {
      if (equalsIgnoringCase(n, candidate)) return true;
    }
    return false;
  };
  (*aliases)[name] = formShortName(name, taken);
}

std::string ShortNames::shortNameOf(const std::string& dir, const std::string& name) {
  Aliases* aliases = aliasesOf(dir);
  if (aliases) {
    auto it = aliases->find(name);
    if (it != aliases->end()) return it->second;
  }
  return upperCased(name);
}

std::string ShortNames::entryWithAlias(const std::string& dir, const std::string& shortName) {
  Aliases* aliases = aliasesOf(dir);
  if (!aliases) return "";
  for (const auto& a : *aliases) {
    if (equalsIgnoringCase(a.second, shortName)) return a.first;
  }
  return "";
}

void ShortNames::added(const std::string& hostPath) {
  std::string dir, name;
  splitLast(hostPath, &dir, &name);
  Aliases* aliases = aliasesOf(dir);  // a folder read now lists the new name already
  if (!aliases) return;
  Names& names = listed_[dir.substr(machineDir_.size() + 1)];
  if (!names.insert(name).second || isShortName(name) || aliases->count(name)) return;
  assign(name, names, aliases);
  save();
}

void ShortNames::removed(const std::string& hostPath) {
  std::string dir, name;
  splitLast(hostPath, &dir, &name);
  Aliases* aliases = aliasesOf(dir);
  if (!aliases) return;
  listed_[dir.substr(machineDir_.size() + 1)].erase(name);
  // A folder that went is read again should it come back.
  const std::string relative = hostPath.substr(machineDir_.size() + 1);
  listed_.erase(relative);
  for (auto it = listed_.lower_bound(relative + "/");
       it != listed_.end() && it->first.compare(0, relative.size() + 1, relative + "/") == 0;) {
    it = listed_.erase(it);
  }
  if (aliases->erase(name)) save();
}

void ShortNames::save() {
  std::string text;
  for (const auto& dir : dirs_) {
    for (const auto& a : dir.second) text += dir.first + "/" + a.first + "\t" + a.second + "\n";
  }
  std::string error;
  if (!writeHostFileWhole(machineDir_ + "/" + kShortNamesFile, text, &error))
    std::cerr << toolName() << ": " << error << "\n";
}

}  // namespace zv
