// The Linux entry: the command line is rebuilt from argv as Windows would
// pass it, program path first, and the program runs on the machine of
// ZVPATCH_MACHINE.
#include <iostream>
#include <memory>
#include <string>

#include "platform/platform.h"
#include "shell/program.h"
#include "simulator/machine_boot.h"
#include "simulator/simulated_machine.h"

int main(int argc, char** argv) {
  std::unique_ptr<zv::SimulatedMachine> machine = zv::SimulatedMachine::openDefault();
  if (!machine) return 2;
  std::string commandLine;
  for (int i = 0; i < argc; ++i) {
    if (i > 0) commandLine += ' ';
    commandLine += argv[i];
  }
  machine->setCommandLine(commandLine);
  zv::Platform::setCurrent(machine.get());
  const int kShowNormal = 1;
  int status = zv::runProgram(kShowNormal);
  // Windows went down for the restart the program asked for: the machine
  // starts again, doing the work left for it. The report goes to standard
  // error, which is not the log window.
  if (machine->restartRequested()) zv::bootMachine(*machine, std::cerr);
  zv::Platform::setCurrent(nullptr);
  return status;
}
