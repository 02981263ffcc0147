#include "simulator/machine_paths.h"

#include <dirent.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <vector>

#include "base/strings.h"
#include "simulator/short_names.h"

namespace zv {

namespace {

bool isSeparator(char c) {
  return c == '\\' || c == '/';
}

// Splits on either separator and resolves "." and "..". A relative path
// keeps its leading ".." components unless clamped; an absolute one stops
// at its root.
std::vector<std::string> components(const std::string& path, size_t start, bool clamped) {
  std::vector<std::string> parts;
  std::string part;
  for (size_t i = start; i <= path.size(); ++i) {
    if (i == path.size() || isSeparator(path[i])) {
      if (part == "..") {
        if (!parts.empty() && parts.back() != "..") {
          parts.pop_back();
        } else if (!clamped) {
          parts.push_back(part);
        }
      } else if (!part.empty() && part != ".") {
        parts.push_back(part);
      }
      part.clear();
    } else {
      part.push_back(path[i]);
    }
  }
  return parts;
}

std::string currentDirectory() {
  char buffer[PATH_MAX];
  return ::getcwd(buffer, sizeof buffer) ? buffer : "/";
}

// An absolute host path, resolved by name.
std::string absoluteOf(const std::string& path) {
  std::string joined =
      !path.empty() && isSeparator(path[0]) ? path : currentDirectory() + "/" + path;
  std::string out;
  for (const std::string& part : components(joined, 0, true)) out += "/" + part;
  return out.empty() ? "/" : out;
}

// The host's own resolution of path (links followed), or empty.
std::string realPath(const std::string& path) {
  char buffer[PATH_MAX];
  return ::realpath(path.c_str(), buffer) ? buffer : "";
}

bool within(const std::string& path, const std::string& dir) {
  return path == dir || (path.size() > dir.size() && path.compare(0, dir.size(), dir) == 0 &&
                         (dir == "/" || path[dir.size()] == '/'));
}

// The same, names compared without regard to case, as they are looked up.
bool withinIgnoringCase(const std::string& path, const std::string& dir) {
  return equalsIgnoringCase(path, dir) ||
         (path.size() > dir.size() && startsWithIgnoringCase(path, dir) && path[dir.size()] == '/');
}

// The folder of a host path as lookUp names it: "." for a relative name
// without a folder, "/" for one at the root.
std::string folderOf(const std::string& hostPath, std::string* name) {
  size_t slash = hostPath.rfind('/');
  if (slash == std::string::npos) {
    *name = hostPath;
    return ".";
  }
  *name = hostPath.substr(slash + 1);
  return slash == 0 ? "/" : hostPath.substr(0, slash);
}

}  // namespace

std::string MachinePaths::findIgnoringCase(const std::string& dir, const std::string& name) const {
  auto listing = listings_.find(dir);
  if (listing == listings_.end()) {
    DIR* d = ::opendir(dir.c_str());
    if (!d) return "";
    Listing names;
    while (struct dirent* e = ::readdir(d)) names[upperCased(e->d_name)].push_back(e->d_name);
    ::closedir(d);
    listing = listings_.emplace(dir, std::move(names)).first;
  }
  auto found = listing->second.find(upperCased(name));
  return found == listing->second.end() ? "" : found->second.front();
}

void MachinePaths::added(const std::string& hostPath) const {
  std::string name;
  auto listing = listings_.find(folderOf(hostPath, &name));
  if (listing == listings_.end()) return;
  std::vector<std::string>& names = listing->second[upperCased(name)];
  if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
}

void MachinePaths::removed(const std::string& hostPath) const {
  std::string name;
  auto listing = listings_.find(folderOf(hostPath, &name));
  if (listing != listings_.end()) {
    auto entry = listing->second.find(upperCased(name));
    if (entry != listing->second.end()) {
      std::vector<std::string>& names = entry->second;
      names.erase(std::remove(names.begin(), names.end(), name), names.end());
      if (names.empty()) listing->second.erase(entry);
    }
  }
  // A folder that went takes its listing, and those below it, along.
  listings_.erase(hostPath);
  const std::string below = hostPath + "/";
  for (auto it = listings_.lower_bound(below);
       it != listings_.end() && it->first.compare(0, below.size(), below) == 0;) {
    it = listings_.erase(it);
  }
}

std::string MachinePaths::lookUp(std::string host, bool absolute,
                                 const std::vector<std::string>& parts, const std::string& fence,
                                 ShortNames* shortNames) const {
  bool lookingUp = true;  // until a component is missing
  for (const std::string& part : parts) {
    std::string parent = host.empty() ? (absolute ? "/" : ".") : host;
    std::string name = part;
    if (lookingUp && part != "..") {
      std::string exact = parent == "/" ? "/" + part : parent + "/" + part;
      struct stat st;
      bool found = ::lstat(exact.c_str(), &st) == 0;
      if (!found) {
        std::string other = findIgnoringCase(parent, part);
        // An alias always has its "~" (a short name in other case is found above).
        if (other.empty() && shortNames && part.find('~') != std::string::npos)
          other = shortNames->entryWithAlias(parent, part);
        found = !other.empty();
        if (found) {
          name = other;
          exact = parent == "/" ? "/" + name : parent + "/" + name;
          found = ::lstat(exact.c_str(), &st) == 0;
        }
      }
      lookingUp = found;
      if (found && S_ISLNK(st.st_mode) && !fence.empty()) {
        std::string target = realPath(exact);
        if (target.empty() || !within(target, fence)) return "";
      }
    }
    host = host.empty() ? (absolute ? "/" : "") + name : host + "/" + name;
  }
  if (host.empty()) return absolute ? "/" : ".";
  return host;
}

void MachinePaths::handOver(const std::string& hostPath) {
  std::string absolute = absoluteOf(hostPath);
  if (absolute != "/") handedOver_.push_back(absolute);
}

bool MachinePaths::handedOver(const std::string& absolute) const {
  for (const std::string& dir : handedOver_) {
    if (withinIgnoringCase(absolute, dir)) return true;
  }
  return false;
}

std::string MachinePaths::driveDir(char letter) const {
  return machineDir_ + "/drive_" +
         static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
}

std::string MachinePaths::toHost(const std::string& windowsPath) const {
  // \\server\share: the machine has no network.
  if (windowsPath.size() >= 2 && isSeparator(windowsPath[0]) && isSeparator(windowsPath[1]))
    return "";
  bool hasDrive = windowsPath.size() >= 2 && windowsPath[1] == ':' &&
                  std::isalpha(static_cast<unsigned char>(windowsPath[0]));
  if (machineFence_.empty()) machineFence_ = realPath(machineDir_);
  if (hasDrive) {
    return lookUp(driveDir(windowsPath[0]), true, components(windowsPath, 2, true), machineFence_,
                  shortNames_);
  }
  bool rooted = !windowsPath.empty() && isSeparator(windowsPath[0]);
  if (handedOver(absoluteOf(windowsPath))) {
    return lookUp("", rooted, components(windowsPath, 0, rooted), "", nullptr);
  }
  if (rooted) {
    return lookUp(driveDir(systemDrive_), true, components(windowsPath, 0, true), machineFence_,
                  shortNames_);
  }
  return lookUp("", false, components(windowsPath, 0, true), realPath("."), nullptr);
}

// Only the lower-case drive_x/ folders are drives: driveDir() names them so.
std::string windowsPathOf(const std::string& machineRelative) {
  const std::string prefix = "drive_";
  size_t n = prefix.size();
  if (machineRelative.compare(0, n, prefix) != 0 || machineRelative.size() <= n ||
      machineRelative[n] < 'a' || machineRelative[n] > 'z' ||
      (machineRelative.size() > n + 1 && machineRelative[n + 1] != '/')) {
    return "";
  }
  std::string path(1,
                   static_cast<char>(std::toupper(static_cast<unsigned char>(machineRelative[n]))));
  path += ":\\";
  for (size_t i = n + 2; i < machineRelative.size(); ++i) {
    path += machineRelative[i] == '/' ? '\\' : machineRelative[i];
  }
  return path;
}

}  // namespace zv
