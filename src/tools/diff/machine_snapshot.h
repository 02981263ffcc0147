// A copy of a simulated machine as it is at one moment, to compare the
// machine with later (zvpatch-diff save).
#pragma once

#include <string>

namespace zv {

// Copies the machine directory into snapshotDir, which must not exist or be
// empty (it is created, with its parents): every file with its bytes and
// modification time. False with a one-line *error otherwise, or when a file
// cannot be copied.
bool saveSnapshot(const std::string& machineDir, const std::string& snapshotDir,
                  std::string* error);

}  // namespace zv
