// Moving the bytes of one open file into another, shared by the file copy
// and the in-file substitution.
#pragma once

#include <string>

#include "platform/platform.h"

namespace zv {

// Copies the rest of source into destination in chunks of 4096 bytes
// through one process-wide buffer. Raises ErrorCode::kReadFailed (message:
// sourcePath) when a read fails and kWriteFailed (message: destinationPath)
// when fewer bytes are written than were read.
void copyContents(File& source, const std::string& sourcePath, File& destination,
                  const std::string& destinationPath);

}  // namespace zv
