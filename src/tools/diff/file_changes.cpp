#include "tools/diff/file_changes.h"

#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <map>

#include "base/strings.h"
#include "simulator/machine_paths.h"
#include "simulator/posix_file.h"

namespace fs = std::filesystem;

namespace zv {

namespace {

struct Entry {
  bool directory = false;
  int64_t size = 0;
  int64_t modifiedNs = 0;
};

using Tree = std::map<std::string, Entry>;  // by path relative to the machine

// Every folder and regular file below the drives of a machine.
bool readTree(const std::string& machineDir, Tree* tree, std::string* error) {
  std::error_code ec;
  for (fs::directory_iterator top(machineDir, ec), end; !ec && top != end; top.increment(ec)) {
    std::string name = top->path().filename().string();
    if (windowsPathOf(name).empty() || !top->is_directory(ec)) continue;
    for (fs::recursive_directory_iterator it(top->path(), ec), stop; !ec && it != stop;
         it.increment(ec)) {
      struct stat st;
      if (::lstat(it->path().c_str(), &st) != 0) continue;
      if (!S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode)) continue;
      Entry& e = (*tree)[fs::relative(it->path(), machineDir).generic_string()];
      e.directory = S_ISDIR(st.st_mode);
      e.size = st.st_size;
      e.modifiedNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    }
  }
  if (ec) *error = "cannot read " + machineDir + ": " + ec.message();
  return !ec;
}

bool sameBytes(const std::string& a, const std::string& b) {
  std::string x, y;
  return readHostFile(a, &x) && readHostFile(b, &y) && x == y;
}

}  // namespace

bool fileChanges(const std::string& beforeDir, const std::string& afterDir,
                 std::vector<FileChange>* changes, std::string* error) {
  Tree before, after;
  if (!readTree(beforeDir, &before, error) || !readTree(afterDir, &after, error)) return false;
  for (const auto& [path, now] : after) {
    auto old = before.find(path);
    if (old == before.end() || old->second.directory != now.directory) {
      if (old != before.end()) changes->push_back({FileChangeKind::kRemoved, path, !now.directory});
      bool backup = !now.directory && endsWithIgnoringCase(path, ".OLD");
      changes->push_back(
          {backup ? FileChangeKind::kBackup : FileChangeKind::kAdded, path, now.directory});
    } else if (!now.directory) {
      if (old->second.size != now.size ||
          !sameBytes(beforeDir + "/" + path, afterDir + "/" + path)) {
        changes->push_back({FileChangeKind::kReplaced, path, false});
      } else if (old->second.modifiedNs != now.modifiedNs) {
        changes->push_back({FileChangeKind::kRedated, path, false});
      }
    }
  }
  for (const auto& [path, old] : before) {
    if (!after.count(path)) changes->push_back({FileChangeKind::kRemoved, path, old.directory});
  }
  return true;
}

}  // namespace zv
