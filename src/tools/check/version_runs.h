// A package run on every Windows: unattended, on a fresh simulated machine
// of each Version (or on machines the author names), followed by the next
// start; one row per machine of what happened. Everything happens in a
// temporary folder.
#pragma once

#include <string>
#include <vector>

#include "tools/machine/machine_maker.h"

namespace zv {

struct RunOptions {
  std::string packageDir;
  std::string name;                     // UPD
  std::string zvpatch, zvboot, zvdiff;  // the programs
  MachineSpec machine;                  // the template (its version is set per run)
  std::vector<std::string> versions;    // default: every one
  std::vector<std::string> machines;    // machine folders to copy instead
  bool diff = false;                    // append zvpatch-diff of each run
};

struct RunResult {
  std::string machine;   // the Version, or the machine folder's name
  std::string sections;  // the work sections processed, "-" for none
  int installed = 0, replaced = 0, kept = 0;
  int iniChanges = 0, registryChanges = 0;
  std::vector<int> errors;  // message numbers of the errors reported
  bool restart = false;     // a restart was asked for or made
  bool recorded = false;    // the patch is recorded as installed
  std::string diff;         // zvpatch-diff, with RunOptions::diff
  std::string failure;      // what kept the run from happening
};

// Runs the package on each machine; false with *error when nothing could run.
bool runOnEveryWindows(const RunOptions& options, std::vector<RunResult>* results,
                       std::string* error);

// The table: a header, a row per machine, then the diffs asked for.
std::string formatRuns(const std::vector<RunResult>& results);

}  // namespace zv
