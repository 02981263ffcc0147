#include "simulator/restart_operations.h"

#include "base/strings.h"
#include "simulator/posix_file.h"

namespace zv {

const char kSessionManagerKey[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const char kPendingMovesValue[] = "PendingFileRenameOperations";
const char kWininitOrigin[] = "WININIT.INI";
const char kDelayedMoveOrigin[] = "delayed move";

namespace {

std::string withoutPrefix(const std::string& path) {
  return path.compare(0, 4, "\\??\\") == 0 ? path.substr(4) : path;
}

}  // namespace

std::string wininitPath(SimulatedMachine& machine) {
  std::string windows;
  if (!machine.windowsDirectory(&windows)) return "";
  if (windows.empty() || windows.back() != '\\') windows += '\\';
  return windows + "WININIT.INI";
}

std::vector<RestartOperation> wininitOperations(const std::string& text) {
  std::vector<RestartOperation> ops;
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
    RestartOperation op;
    std::string key = line.substr(0, eq);
    op.source = line.substr(eq + 1);
    op.destination = equalsIgnoringCase(key, "NUL") ? "" : key;
    op.origin = kWininitOrigin;
    ops.push_back(op);
  }
  return ops;
}

std::vector<RestartOperation> delayedMoves(SimulatedMachine& machine) {
  std::vector<RestartOperation> ops;
  RegKey key;
  if (machine.regOpenKey(kHkeyLocalMachine, kSessionManagerKey, RegAccess::kRead, &key) !=
      kErrorSuccess) {
    return ops;
  }
  uint32_t type = 0, size = 0;
  if (machine.regQueryValue(key, kPendingMovesValue, &type, nullptr, &size) == kErrorSuccess) {
    std::string data(size, '\0');
    machine.regQueryValue(key, kPendingMovesValue, &type, &data[0], &size);
    std::vector<std::string> strings = splitMultiString(data);
    for (size_t i = 0; i + 1 < strings.size(); i += 2) {
      RestartOperation op;
      op.source = withoutPrefix(strings[i]);
      std::string target = strings[i + 1];
      op.replace = !target.empty() && target[0] == '!';
      op.destination = withoutPrefix(op.replace ? target.substr(1) : target);
      op.origin = kDelayedMoveOrigin;
      ops.push_back(op);
    }
  }
  machine.regCloseKey(key);
  return ops;
}

std::vector<RestartOperation> pendingOperations(SimulatedMachine& machine) {
  std::vector<RestartOperation> ops;
  std::string wininit = wininitPath(machine);
  std::string text;
  if (!wininit.empty() && readHostFile(machine.hostPath(wininit), &text)) {
    ops = wininitOperations(text);
  }
  std::vector<RestartOperation> moves = delayedMoves(machine);
  ops.insert(ops.end(), moves.begin(), moves.end());
  return ops;
}

}  // namespace zv
