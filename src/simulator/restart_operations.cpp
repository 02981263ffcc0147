#include "simulator/restart_operations.h"

#include "base/strings.h"
#include "base/text_lines.h"
#include "base/windows_path.h"
#include "simulator/posix_file.h"

namespace zv {

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
  return withBackslash(windows) + "WININIT.INI";
}

std::vector<RestartOperation> wininitOperations(const std::string& text) {
  std::vector<RestartOperation> ops;
  bool inRename = false;
  for (const std::string& line : textLines(text, true)) {
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
  const std::vector<std::string> strings = pendingMoveStrings(machine);
  for (size_t i = 0; i + 1 < strings.size(); i += 2) {
    RestartOperation op;
    op.source = withoutPrefix(strings[i]);
    const std::string& target = strings[i + 1];
    op.replace = !target.empty() && target[0] == '!';
    op.destination = withoutPrefix(op.replace ? target.substr(1) : target);
    op.origin = kDelayedMoveOrigin;
    ops.push_back(op);
  }
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
