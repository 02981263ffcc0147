// Files of the simulated machine: host descriptors, with the DOS stamp
// taken from and given to the host's modification time in local time.
#pragma once

#include <ctime>
#include <memory>
#include <string>

#include "platform/platform.h"

namespace zv {

// nullptr when the host file cannot be opened in that mode.
std::unique_ptr<File> openHostFile(const std::string& hostPath, FileMode mode);

// Reads a whole host file; false when it cannot be read.
bool readHostFile(const std::string& hostPath, std::string* content);
// Writes a new file beside the old one, under a name no other writer uses,
// and renames it over it, so the file is never left half-written; false
// (with *error) on any failure.
bool writeHostFileWhole(const std::string& hostPath, const std::string& content,
                        std::string* error);
// The text with its line feeds as CR LF, as Windows writes text files.
std::string withCrLf(const std::string& text);
// Removes what writeHostFileWhole left in dir when its process was killed
// (and the ".new" files of older versions). Only for a machine directory
// whose lock is held.
void removeStaleTemporaryFiles(const std::string& dir);

}  // namespace zv
