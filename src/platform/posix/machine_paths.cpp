#include "platform/posix/machine_paths.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cctype>
#include <vector>

#include "platform/strings.h"

namespace zv {

namespace {

bool isSeparator(char c) {
  return c == '\\' || c == '/';
}

// Splits on either separator and resolves "." and "..". A relative path
// keeps its leading ".." components; an absolute one stops at its root.
std::vector<std::string> components(const std::string& path, size_t start, bool absolute) {
  std::vector<std::string> parts;
  std::string part;
  for (size_t i = start; i <= path.size(); ++i) {
    if (i == path.size() || isSeparator(path[i])) {
      if (part == "..") {
        if (!parts.empty() && parts.back() != "..") {
          parts.pop_back();
        } else if (!absolute) {
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

bool existsOnHost(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

// The name of the entry of dir that equals name without regard to case, or
// empty when there is none.
std::string findIgnoringCase(const std::string& dir, const std::string& name) {
  DIR* d = ::opendir(dir.c_str());
  if (!d) return "";
  std::string found;
  while (struct dirent* e = ::readdir(d)) {
    if (equalsIgnoringCase(e->d_name, name)) {
      found = e->d_name;
      break;
    }
  }
  ::closedir(d);
  return found;
}

}  // namespace

std::string MachinePaths::driveDir(char letter) const {
  return machineDir_ + "/drive_" +
         static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
}

std::string MachinePaths::toHost(const std::string& windowsPath) const {
  bool hasDrive = windowsPath.size() >= 2 && windowsPath[1] == ':' &&
                  std::isalpha(static_cast<unsigned char>(windowsPath[0]));
  bool absolute = hasDrive || (!windowsPath.empty() && isSeparator(windowsPath[0]));
  std::vector<std::string> parts = components(windowsPath, hasDrive ? 2 : 0, absolute);

  std::string host = hasDrive ? driveDir(windowsPath[0]) : "";
  bool lookingUp = true;  // until a component is missing
  for (const std::string& part : parts) {
    std::string parent = host.empty() ? (absolute ? "/" : ".") : host;
    std::string name = part;
    if (lookingUp && part != "..") {
      std::string exact = parent == "/" ? "/" + part : parent + "/" + part;
      if (!existsOnHost(exact)) {
        std::string other = findIgnoringCase(parent, part);
        if (other.empty()) {
          lookingUp = false;
        } else {
          name = other;
        }
      }
    }
    host = host.empty() ? (absolute ? "/" : "") + name : host + "/" + name;
  }
  if (host.empty()) return absolute ? "/" : ".";
  return host;
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
