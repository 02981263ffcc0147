// zvboot: the next start of the simulated machine of ZVPATCH_MACHINE (or of
// the directory given), carrying out the work left for it.
#include <cstdio>
#include <iostream>
#include <string>

#include "simulator/machine_boot.h"
#include "simulator/tool_name.h"

int main(int argc, char** argv) {
  zv::setToolName("zvboot");
  if (zv::printedVersion(argc, argv)) return 0;
  if (argc > 2 || (argc == 2 && argv[1][0] == '-')) {
    std::cerr << "usage: zvboot [MACHINE_DIR]   (default: $ZVPATCH_MACHINE, else ~/.zvpatch)\n"
                 "       zvboot --version\n";
    return 2;
  }
  std::unique_ptr<zv::SimulatedMachine> machine;
  if (argc == 2) {
    std::string error;
    machine = zv::SimulatedMachine::openMachine(argv[1], &error);
    if (!machine) std::cerr << "zvboot: " << error << "\n";
  } else {
    machine = zv::SimulatedMachine::openDefault();
  }
  if (!machine) return 2;
  return zv::bootMachine(*machine, std::cout) == 0 ? 0 : 1;
}
