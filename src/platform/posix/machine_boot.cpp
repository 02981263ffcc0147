#include "platform/posix/machine_boot.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "platform/posix/posix_file.h"
#include "platform/posix/restart_operations.h"

namespace zv {

namespace {

class Boot {
 public:
  Boot(SimulatedMachine& machine, std::ostream& out) : machine_(machine), out_(out) {}

  int run() {
    std::string wininit = wininitPath(machine_);
    std::string text;
    if (!wininit.empty() && readHostFile(machine_.hostPath(wininit), &text)) {
      carryOut(wininitOperations(text));
      std::string bak = machine_.hostPath(wininit.substr(0, wininit.size() - 3) + "BAK");
      if (::rename(machine_.hostPath(wininit).c_str(), bak.c_str()) == 0) {
        out_ << "zvboot: " << wininit << " renamed to WININIT.BAK\n";
      } else {
        fail("cannot rename " + wininit + " to WININIT.BAK");
      }
    }
    carryOut(delayedMoves(machine_));
    clearDelayedMoves();
    return failures_;
  }

 private:
  void fail(const std::string& what) {
    out_ << "zvboot: FAILED: " << what << "\n";
    ++failures_;
  }

  void clearDelayedMoves() {
    RegKey key;
    if (machine_.regOpenKey(kHkeyLocalMachine, kSessionManagerKey, RegAccess::kAllAccess, &key) ==
        kErrorSuccess) {
      machine_.regDeleteValue(key, kPendingMovesValue);
      machine_.regCloseKey(key);
    }
  }

  void carryOut(const std::vector<RestartOperation>& ops) {
    std::set<std::string> spared;  // files whose move failed: kept as they are
    for (size_t i = 0; i < ops.size(); ++i) {
      const RestartOperation& op = ops[i];
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
  bool neededLater(const std::vector<RestartOperation>& ops, size_t i, const std::string& source) {
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
