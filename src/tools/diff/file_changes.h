// What changed in the files of a simulated machine's drives (drive_x/)
// between two copies of the machine directory. The other files of the
// directory (machine.ini, registry.reg, events.log) are not files of the PC.
#pragma once

#include <string>
#include <vector>

namespace zv {

enum class FileChangeKind {
  kAdded,
  kBackup,    // added, and named *.OLD
  kReplaced,  // other bytes
  kRedated,   // the same bytes, another modification time
  kRemoved,
};

struct FileChange {
  FileChangeKind kind;
  std::string path;  // relative to the machine directory: drive_c/PROD/X.DLL
  bool directory = false;
};

// The changes from the machine in beforeDir to the one in afterDir, by
// path. False with *error when a folder cannot be read.
bool fileChanges(const std::string& beforeDir, const std::string& afterDir,
                 std::vector<FileChange>* changes, std::string* error);

}  // namespace zv
