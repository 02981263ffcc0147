// The work a simulated machine has left for its next start, read without
// changing anything: the [rename] lines of WININIT.INI in the Windows
// directory (NUL=path deletes, dest=source moves source over dest), then
// the delayed moves of PendingFileRenameOperations.
#pragma once

#include <string>
#include <vector>

#include "platform/registry_names.h"
#include "simulator/simulated_machine.h"

namespace zv {

// The origins of the operations, as reports name them.
extern const char kWininitOrigin[];
extern const char kDelayedMoveOrigin[];

struct RestartOperation {
  std::string source;       // Windows path
  std::string destination;  // empty: delete the source
  bool replace = true;      // the destination may exist
  std::string origin;       // "WININIT.INI" or "delayed move"
};

// The Windows path of WININIT.INI; empty when the machine has no Windows
// directory.
std::string wininitPath(SimulatedMachine& machine);

// The [rename] lines of a WININIT.INI text, in file order.
std::vector<RestartOperation> wininitOperations(const std::string& text);

// The delayed moves, in the order they run (without the \??\ prefixes).
std::vector<RestartOperation> delayedMoves(SimulatedMachine& machine);

// Everything the next start carries out, in order.
std::vector<RestartOperation> pendingOperations(SimulatedMachine& machine);

}  // namespace zv
