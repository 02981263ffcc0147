// What changed on a simulated machine since a snapshot of it (zvpatch-diff
// show): its files, its INI files key by key, its registry, and the work
// waiting for the next start of Windows in the machine now.
#pragma once

#include <string>

namespace zv {

// The report, or "No changes.\n". WININIT.INI in the Windows directory and
// the delayed moves (PendingFileRenameOperations) are shown only as the
// work waiting for the next start. False with a one-line *error when a
// directory, machine.ini or registry.reg cannot be read.
bool describeMachineChanges(const std::string& snapshotDir, const std::string& machineDir,
                            std::string* report, std::string* error);

}  // namespace zv
