// zvpatch-diff: what a package did to a simulated machine. "save" copies the
// machine before the run, "show" compares the machine with that copy.
#include <iostream>
#include <string>

#include "simulator/tool_name.h"
#include "tools/diff/machine_diff.h"
#include "tools/diff/machine_snapshot.h"

int main(int argc, char** argv) {
  zv::setToolName("zvpatch-diff");
  if (zv::printedVersion(argc, argv)) return 0;
  std::string command = argc > 1 ? argv[1] : "";
  if (argc != 4 || (command != "save" && command != "show")) {
    std::cerr << "usage: zvpatch-diff save MACHINE_DIR SNAPSHOT_DIR\n"
                 "       zvpatch-diff show SNAPSHOT_DIR MACHINE_DIR\n"
                 "       zvpatch-diff --version\n";
    return 2;
  }
  std::string error;
  if (command == "save") {
    if (zv::saveSnapshot(argv[2], argv[3], &error)) return 0;
  } else {
    std::string report;
    if (zv::describeMachineChanges(argv[2], argv[3], &report, &error)) {
      std::cout << report;
      return 0;
    }
  }
  std::cerr << "zvpatch-diff: " << error << "\n";
  return 2;
}
