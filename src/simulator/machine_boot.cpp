#include "simulator/machine_boot.h"

#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "base/short_name.h"
#include "simulator/events_log.h"
#include "simulator/posix_file.h"
#include "simulator/restart_operations.h"

namespace zv {

namespace {

// What a line came to, in the progress record.
const char kDone = '+';    // carried out, or nothing to do
const char kFailed = '-';  // failed: its source is kept as it is

// One line of the progress record: outcome, origin, source, destination.
std::string progressLine(char outcome, const RestartOperation& op) {
  return std::string(1, outcome) + "\t" + escapeEventText(op.origin) + "\t" +
         escapeEventText(op.source) + "\t" + escapeEventText(op.destination) + "\n";
}

class Boot {
 public:
  Boot(SimulatedMachine& machine, std::ostream& out)
      : machine_(machine), out_(out), progressPath_(machine.dir() + "/" + kBootProgressFile) {}

  int run() {
    readHostFile(progressPath_, &record_);
    std::string wininit = wininitPath(machine_);
    std::string text;
    if (!wininit.empty() && readHostFile(machine_.hostPath(wininit), &text)) {
      if (!carryOut(wininitOperations(text))) return failures_;
      std::string bak = machine_.hostPath(wininit.substr(0, wininit.size() - 3) + "BAK");
      const std::string host = machine_.hostPath(wininit);
      if (::rename(host.c_str(), bak.c_str()) != 0) {
        fail("cannot rename " + wininit + " to WININIT.BAK");
        return failures_;
      }
      machine_.noteRemoved(host);
      machine_.noteAdded(bak);
      out_ << "zvboot: " << wininit << " renamed to WININIT.BAK\n";
    }
    // WININIT.INI is done with: its lines leave the record.
    if (!saveProgress(linesOf(kDelayedMoveOrigin))) return failures_;
    if (!carryOut(delayedMoves(machine_))) return failures_;
    if (!clearDelayedMoves()) return failures_;
    if (::unlink(progressPath_.c_str()) != 0 && errno != ENOENT) {
      fail("cannot remove " + progressPath_ + ": " + std::strerror(errno));
    }
    return failures_;
  }

 private:
  void fail(const std::string& what) {
    out_ << "zvboot: FAILED: " << what << "\n";
    ++failures_;
  }

  // The record's lines of one origin, in order.
  std::vector<std::string> linesOf(const std::string& origin) const {
    std::vector<std::string> lines;
    const std::string tag = "\t" + escapeEventText(origin) + "\t";
    for (size_t start = 0; start < record_.size();) {
      size_t end = record_.find('\n', start);
      if (end == std::string::npos) end = record_.size() - 1;
      std::string line = record_.substr(start, end + 1 - start);
      if (line.compare(1, tag.size(), tag) == 0) lines.push_back(line);
      start = end + 1;
    }
    return lines;
  }

  // Writes the record with these lines; false (and stop) when it cannot.
  bool saveProgress(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line;
    if (text == record_) return true;
    std::string error;
    if (!writeHostFileWhole(progressPath_, text, &error)) {
      fail("cannot record what was done (" + error +
           "); stopped, the rest is left for the next start");
      return false;
    }
    record_ = text;
    return true;
  }

  bool clearDelayedMoves() {
    RegKey key;
    if (machine_.regOpenKey(kHkeyLocalMachine, kSessionManagerKey, RegAccess::kAllAccess, &key) !=
        kErrorSuccess) {
      return true;
    }
    long result = machine_.regDeleteValue(key, kPendingMovesValue);
    machine_.regCloseKey(key);
    if (result == kErrorSuccess || result == kErrorFileNotFound) return true;
    fail(
        "cannot clear the delayed moves in registry.reg; they stay for the next start, "
        "which will not repeat those done");
    return false;
  }

  // Carries out ops after those the record says were done already; false
  // when progress could not be recorded.
  bool carryOut(const std::vector<RestartOperation>& ops) {
    if (ops.empty()) return true;
    std::vector<std::string> done = linesOf(ops[0].origin);
    std::set<std::string> spared;  // files whose move failed: kept as they are
    size_t first = 0;
    while (first < done.size() && first < ops.size() &&
           done[first].substr(1) == progressLine(kDone, ops[first]).substr(1)) {
      if (done[first][0] == kFailed) spared.insert(machine_.hostPath(ops[first].source));
      ++first;
    }
    if (first < done.size()) {
      // The work waiting is not what the record describes: start over.
      out_ << "zvboot: " << ops[0].origin << ": the record of an earlier start does not match; "
           << "starting from the first line\n";
      done.clear();
      spared.clear();
      first = 0;
    } else if (first > 0) {
      out_ << "zvboot: " << ops[0].origin << ": " << first
           << " line(s) were carried out by an earlier start\n";
    }
    for (size_t i = first; i < ops.size(); ++i) {
      done.push_back(progressLine(carryOutOne(ops, i, &spared) ? kDone : kFailed, ops[i]));
      std::vector<std::string> lines = done;
      if (ops[0].origin != kDelayedMoveOrigin) {
        std::vector<std::string> moves = linesOf(kDelayedMoveOrigin);
        lines.insert(lines.end(), moves.begin(), moves.end());
      }
      if (!saveProgress(lines)) return false;
    }
    return true;
  }

  // False when the line failed and its source is to be kept as it is.
  bool carryOutOne(const std::vector<RestartOperation>& ops, size_t i,
                   std::set<std::string>* spared) {
    const RestartOperation& op = ops[i];
    // Windows 95/98/Me carry out WININIT.INI before long names are known.
    if (machine_.hasShortNames() && op.origin == kWininitOrigin &&
        (hasLongName(op.source) || hasLongName(op.destination))) {
      fail(op.origin + ": skipped: long file name: " +
           (op.destination.empty() ? "NUL" : op.destination) + "=" + op.source);
      spared->insert(machine_.hostPath(op.source));
      return false;
    }
    std::string source = machine_.hostPath(op.source);
    if (op.destination.empty()) {
      if (neededLater(ops, i, source)) {
        fail(op.origin + ": not deleting " + op.source + ": a later line moves it");
      } else if (::unlink(source.c_str()) == 0) {
        machine_.noteRemoved(source);
        out_ << "zvboot: " << op.origin << ": deleted " << op.source << "\n";
      } else if (errno != ENOENT) {
        fail(op.origin + ": cannot delete " + op.source + ": " + std::strerror(errno));
      } else {
        out_ << "zvboot: " << op.origin << ": " << op.source << " was already gone\n";
      }
      return true;
    }
    std::string destination = machine_.hostPath(op.destination);
    if (spared->count(destination)) {
      fail(op.origin + ": not moving " + op.source + " over " + op.destination +
           ": moving that file away failed");
      return true;
    }
    if (!op.replace && ::access(destination.c_str(), F_OK) == 0) {
      fail(op.origin + ": " + op.destination + " exists; " + op.source + " not moved");
      spared->insert(source);
      return false;
    }
    // A file with a long name, named here by its short one, is replaced
    // as the system does it: the new file has only the short name.
    std::string replacedLong;
    if (machine_.hasShortNames() && ::access(destination.c_str(), F_OK) == 0 &&
        !isShortName(destination.substr(destination.rfind('/') + 1))) {
      replacedLong = destination;
      std::string shortName = op.destination.substr(op.destination.find_last_of("\\/:") + 1);
      for (char& c : shortName) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      destination = destination.substr(0, destination.rfind('/') + 1) + shortName;
    }
    if (::rename(source.c_str(), destination.c_str()) == 0) {
      if (!replacedLong.empty() && ::unlink(replacedLong.c_str()) == 0)
        machine_.noteRemoved(replacedLong);
      machine_.noteRemoved(source);
      machine_.noteAdded(destination);
      out_ << "zvboot: " << op.origin << ": moved " << op.source << " to " << op.destination
           << "\n";
    } else if (errno == ENOENT && ::access(source.c_str(), F_OK) != 0) {
      // Nothing to move (a backup of a file that never existed): the
      // system passes over it, and there is nothing to protect.
      out_ << "zvboot: " << op.origin << ": " << op.source << " is not there; nothing moved\n";
    } else {
      fail(op.origin + ": cannot move " + op.source + " to " + op.destination + ": " +
           std::strerror(errno));
      spared->insert(source);
      return false;
    }
    return true;
  }

  // A component of the Windows path that is no short name.
  static bool hasLongName(const std::string& path) {
    size_t start = path.size() >= 2 && path[1] == ':' ? 2 : 0;
    while (start < path.size()) {
      size_t end = path.find_first_of("\\/", start);
      if (end == std::string::npos) end = path.size();
      std::string name = path.substr(start, end - start);
      if (!name.empty() && name != "." && name != ".." && !isShortName(name)) return true;
      start = end + 1;
    }
    return false;
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
  std::string progressPath_;
  std::string record_;  // the progress record as it is on disk
  int failures_ = 0;
};

}  // namespace

const char kBootProgressFile[] = "boot-progress";

int bootMachine(SimulatedMachine& machine, std::ostream& out) {
  return Boot(machine, out).run();
}

}  // namespace zv
