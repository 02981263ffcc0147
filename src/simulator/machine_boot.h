// The next start of a simulated machine: what Windows does with the work
// left for it. First the [rename] lines of WININIT.INI in the Windows
// directory, in file order (NUL=path deletes, dest=source moves source over
// dest), after which the file becomes WININIT.BAK; then the delayed moves
// of PendingFileRenameOperations, in order, which are then cleared.
#pragma once

#include <ostream>

#include "simulator/simulated_machine.h"

namespace zv {

// The record of what a start has carried out so far, in the machine
// directory; it is gone once the start has finished.
extern const char kBootProgressFile[];

// Carries out the restart-time work and says what it did on out. A line
// that cannot be carried out is reported and the rest still runs; a file a
// later line still needs is not deleted, and a file whose move failed is
// not overwritten by a later line. Progress is recorded after every line,
// so a start that was cut off or failed, run again, finishes the rest and
// repeats nothing; when progress cannot be recorded, or the delayed moves
// cannot be cleared, the start stops there and says so. Returns the number
// of failures.
int bootMachine(SimulatedMachine& machine, std::ostream& out);

}  // namespace zv
