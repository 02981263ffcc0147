#include "platform/posix/machine_boot.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "platform/posix/posix_file.h"
#include "platform/strings.h"

namespace zv {

namespace {

const char kSessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const char kPendingMoves[] = "PendingFileRenameOperations";

struct Operation {
  std::string source;       // Windows path
  std::string destination;  // empty: delete the source
  bool replace = true;      // the destination may exist
  std::string origin;       // "WININIT.INI" or "delayed move"
};

// The [rename] lines of a WININIT.INI text: "dest=source", "NUL=path".
std::vector<Operation> wininitOperations(const std::string& text) {
  std::vector<Operation> ops;
  bool inRename = false;
  size_t pos = 0;
  size_t end = text.find('\x1A');
  if (end == std::string::npos) end = text.size();
  while (pos < end) {
    size_t lf = text.find('\n', pos);
    if (lf == std::string::npos || lf > end) lf = end;
    std::string line = text.substr(pos, lf - pos);
    pos = lf + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos) continue;
    if (line[first] == '[') {
      inRename = startsWithIgnoringCase(line, "[rename]", first);
      continue;
    }
    size_t eq = line.find('=');
    if (!inRename || eq == std::string::npos) continue;
    Operation op;
    std::string key = line.substr(0, eq);
    op.source = line.substr(eq + 1);
    op.destination = equalsIgnoringCase(key, "NUL") ? "" : key;
    op.origin = "WININIT.INI";
    ops.push_back(op);
  }
  return ops;
}

std::string withoutPrefix(const std::string& path) {
  return path.compare(0, 4, "\\??\\") == 0 ? path.substr(4) : path;
}

class Boot {
 public:
  Boot(SimulatedMachine& machine, std::ostream& out) : machine_(machine), out_(out) {}

  int run() {
    std::string windows;
    if (machine_.windowsDirectory(&windows)) {
      if (windows.empty() || windows.back() != '\\') windows += '\\';
      std::string wininit = windows + "WININIT.INI";
      std::string text;
      if (readHostFile(machine_.hostPath(wininit), &text)) {
        carryOut(wininitOperations(text));
        std::string bak = machine_.hostPath(windows + "WININIT.BAK");
        if (::rename(machine_.hostPath(wininit).c_str(), bak.c_str()) == 0) {
          out_ << "zvboot: " << wininit << " renamed to WININIT.BAK\n";
        } else {
          fail("cannot rename " + wininit + " to WININIT.BAK");
        }
      }
    }
    carryOut(pendingMoves());
    return failures_;
  }

 private:
  void fail(const std::string& what) {
    out_ << "zvboot: FAILED: " << what << "\n";
    ++failures_;
  }

  std::vector<Operation> pendingMoves() {
    std::vector<Operation> ops;
    RegKey key;
    if (machine_.regOpenKey(kHkeyLocalMachine, kSessionManager, RegAccess::kAllAccess, &key) !=
        kErrorSuccess) {
      return ops;
    }
    uint32_t type = 0, size = 0;
    if (machine_.regQueryValue(key, kPendingMoves, &type, nullptr, &size) == kErrorSuccess) {
      std::string data(size, '\0');
      machine_.regQueryValue(key, kPendingMoves, &type, &data[0], &size);
      std::vector<std::string> strings = splitMultiString(data);
      for (size_t i = 0; i + 1 < strings.size(); i += 2) {
        Operation op;
        op.source = withoutPrefix(strings[i]);
        std::string target = strings[i + 1];
        op.replace = !target.empty() && target[0] == '!';
        op.destination = withoutPrefix(op.replace ? target.substr(1) : target);
        op.origin = "delayed move";
        ops.push_back(op);
      }
      machine_.regDeleteValue(key, kPendingMoves);
    }
    machine_.regCloseKey(key);
    return ops;
  }

  void carryOut(const std::vector<Operation>& ops) {
    std::set<std::string> spared;  // files whose move failed: kept as they are
    for (size_t i = 0; i < ops.size(); ++i) {
      const Operation& op = ops[i];
      std::string source = machine_.hostPath(op.source);
      if (op.destination.empty()) {
        if (neededLater(ops, i, source)) {
          fail(op.origin + ": not deleting " + op.source + ": a later line moves it");
        } else if (::unlink(source.c_str()) == 0) {
          out_ << "zvboot: " << op.origin << ": deleted " << op.source << "\n";
        } else if (errno != ENOENT) {
          fail(op.origin + ": cannot delete " + op.source + ": " + std::strerror(errno));
        } else {
          out_ << "zvboot: " << op.origin << ": " << op.source << " was already gone\n";
        }
        continue;
      }
      std::string destination = machine_.hostPath(op.destination);
      if (spared.count(destination)) {
        fail(op.origin + ": not moving " + op.source + " over " + op.destination +
             ": moving that file away failed");
        continue;
      }
      if (!op.replace && ::access(destination.c_str(), F_OK) == 0) {
        fail(op.origin + ": " + op.destination + " exists; " + op.source + " not moved");
        spared.insert(source);
        continue;
      }
      if (::rename(source.c_str(), destination.c_str()) == 0) {
        out_ << "zvboot: " << op.origin << ": moved " << op.source << " to " << op.destination
             << "\n";
      } else if (errno == ENOENT && ::access(source.c_str(), F_OK) != 0) {
        // Nothing to move (a backup of a file that never existed): the
        // system passes over it, and there is nothing to protect.
        out_ << "zvboot: " << op.origin << ": " << op.source << " is not there; nothing moved\n";
      } else {
        fail(op.origin + ": cannot move " + op.source + " to " + op.destination + ": " +
             std::strerror(errno));
        spared.insert(source);
      }
    }
  }

  // A later line moves the file at host path `source`.
  bool neededLater(const std::vector<Operation>& ops, size_t i, const std::string& source) {
    for (size_t j = i + 1; j < ops.size(); ++j) {
      if (!ops[j].destination.empty() && machine_.hostPath(ops[j].source) == source) return true;
    }
    return false;
  }

  SimulatedMachine& machine_;
  std::ostream& out_;
  int failures_ = 0;
};

}  // namespace

int bootMachine(SimulatedMachine& machine, std::ostream& out) {
  return Boot(machine, out).run();
}

}  // namespace zv
