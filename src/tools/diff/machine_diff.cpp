#include "tools/diff/machine_diff.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <utility>

#include "base/short_name.h"
#include "base/strings.h"
#include "simulator/machine_paths.h"
#include "simulator/posix_file.h"
#include "simulator/restart_operations.h"
#include "tools/diff/file_changes.h"
#include "tools/diff/ini_changes.h"
#include "tools/diff/registry_changes.h"

namespace zv {

namespace {

struct Line {
  std::string path;  // Windows path, the sort key
  std::string text;
};

bool sortedByPath(const Line& a, const Line& b) {
  return compareIgnoringCase(a.path, b.path) < 0;
}

const char* kindWord(FileChangeKind kind) {
  switch (kind) {
    case FileChangeKind::kAdded:
      return "added";
    case FileChangeKind::kBackup:
      return "backup";
    case FileChangeKind::kReplaced:
      return "replaced";
    case FileChangeKind::kRedated:
      return "redated";
    case FileChangeKind::kRemoved:
      return "removed";
  }
  return "";
}

bool loadRegistry(const std::string& machineDir, RegistryStore* store, std::string* error) {
  std::string text;
  std::string file = machineDir + "/registry.reg";
  return !readHostFile(file, &text) || store->parse(text, file, error);
}

bool isIniFile(const FileChange& change) {
  return !change.directory && endsWithIgnoringCase(change.path, ".INI");
}

class Report {
 public:
  Report(const std::string& snapshotDir, SimulatedMachine& machine)
      : snapshotDir_(snapshotDir), machine_(machine) {}

  void files(const std::vector<FileChange>& changes) {
    std::string wininit = wininitPath(machine_);
    std::vector<Line> files, inis;
    for (const FileChange& change : changes) {
      std::string path = windowsPathOf(change.path);
      if (equalsIgnoringCase(path, wininit)) continue;
      if (isIniFile(change) && change.kind != FileChangeKind::kRedated) {
        inis.push_back({path, iniText(change)});
        continue;
      }
      std::string word = kindWord(change.kind);
      word.resize(10, ' ');
      files.push_back(
          {path, word + path + (change.directory ? "\\" : "") + shortNameNote(change, path)});
    }
    block("Files:", std::move(files));
    block("INI files:", std::move(inis));
  }

  void registry(const RegistryStore& before, const RegistryStore& after) {
    std::vector<IgnoredValue> shownAsWork = {
        {std::string("HKEY_LOCAL_MACHINE\\") + kSessionManagerKey, kPendingMovesValue}};
    std::vector<Line> keys;
    for (KeyChanges& key : registryChanges(before, after, shownAsWork)) {
      std::string text = key.path;
      for (const std::string& line : key.lines) text.append("\n    ").append(line);
      keys.push_back({std::move(key.path), std::move(text)});
    }
    block("Registry:", std::move(keys));
  }

  // In the order the next start carries them out. A move over a file that
  // is there now replaces it; any other move is a rename.
  void pendingWork() {
    std::vector<Line> ops;
    for (const RestartOperation& op : pendingOperations(machine_)) {
      std::string text;
      if (op.destination.empty()) {
        text = "delete  " + op.source;
      } else if (machine_.exists(op.destination)) {
        text = "replace " + op.destination + " with " + op.source;
      } else {
        text = "rename  " + op.source + " to " + op.destination;
      }
      ops.push_back({"", text});
    }
    block("Waiting for the next start of Windows:", std::move(ops), false);
  }

  std::string text() const { return out_.empty() ? "No changes.\n" : out_; }

 private:
  // On Windows 95/98/Me, " (ALIAS~1.EXT)" for a file or folder of a long
  // name that is there: the name Windows uses for it at the next start.
  std::string shortNameNote(const FileChange& change, const std::string& path) {
    std::string shortForm;
    std::string name = path.substr(path.find_last_of('\\') + 1);
    if (!machine_.hasShortNames() || change.kind == FileChangeKind::kRemoved || isShortName(name) ||
        !machine_.shortPath(path, &shortForm)) {
      return "";
    }
    return " (" + shortForm.substr(shortForm.find_last_of('\\') + 1) + ")";
  }

  // The key changes of an INI file under its name.
  std::string iniText(const FileChange& change) {
    std::string before, after;
    if (change.kind != FileChangeKind::kAdded) {
      readHostFile(snapshotDir_ + "/" + change.path, &before);
    }
    if (change.kind != FileChangeKind::kRemoved) {
      readHostFile(machine_.dir() + "/" + change.path, &after);
    }
    std::vector<std::string> lines = iniChanges(before, after);
    if (change.kind == FileChangeKind::kRemoved) {
      lines = {"removed"};
    } else if (lines.empty()) {
      lines = {change.kind == FileChangeKind::kAdded ? "added, without keys"
                                                     : "no key changed (comments or layout)"};
    }
    std::string text = windowsPathOf(change.path);
    for (const std::string& line : lines) text += "\n    " + line;
    return text;
  }

  void block(const std::string& title, std::vector<Line> lines, bool sort = true) {
    if (lines.empty()) return;
    if (sort) std::stable_sort(lines.begin(), lines.end(), sortedByPath);
    out_ += title + "\n";
    for (const Line& line : lines) out_.append("  ").append(line.text).push_back('\n');
  }

  std::string snapshotDir_;
  SimulatedMachine& machine_;
  std::string out_;
};

}  // namespace

bool describeMachineChanges(const std::string& snapshotDir, const std::string& machineDir,
                            std::string* report, std::string* error) {
  for (const std::string& dir : {snapshotDir, machineDir}) {
    std::error_code ec;
    if (!std::filesystem::is_directory(dir, ec)) {
      *error = "no such directory: " + dir;
      return false;
    }
  }
  // Opened only once it is known to exist: opening creates a missing one.
  std::unique_ptr<SimulatedMachine> machine = SimulatedMachine::openMachine(machineDir, error);
  RegistryStore before, after;
  std::vector<FileChange> changes;
  if (!machine || !loadRegistry(snapshotDir, &before, error) ||
      !loadRegistry(machineDir, &after, error) ||
      !fileChanges(snapshotDir, machineDir, &changes, error)) {
    return false;
  }
  Report r(snapshotDir, *machine);
  r.files(changes);
  r.registry(before, after);
  r.pendingWork();
  *report = r.text();
  return true;
}

}  // namespace zv
