// The Linux entry: the command line is rebuilt from argv as Windows would
// pass it, program path first, and the program runs on the machine of
// ZVPATCH_MACHINE.
#include <string>

#include <iostream>

#include "platform/entry.h"
#include "platform/posix/machine_boot.h"
#include "platform/posix/simulated_machine.h"

int main(int argc, char** argv) {
  zv::SimulatedMachine& machine = zv::SimulatedMachine::defaultMachine();
  std::string commandLine;
  for (int i = 0; i < argc; ++i) {
    if (i > 0) commandLine += ' ';
    commandLine += argv[i];
  }
  machine.setCommandLine(commandLine);
  const int kShowNormal = 1;
  int status = zv::runProgram(kShowNormal);
  // Windows went down for the restart the program asked for: the machine
  // starts again, doing the work left for it. The report goes to standard
  // error, which is not the log window.
  if (machine.restartRequested()) zv::bootMachine(machine, std::cerr);
  return status;
}
