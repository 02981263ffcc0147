// A file that appears under its name only when it is complete. It is
// written under a temporary name in the same directory (the same volume,
// so putting it in place is one rename) and renamed to its name at
// commit(): a crash, a full disk or a failed write leaves at most a stray
// temporary file, never a cut file under the real name.
#pragma once

#include <memory>
#include <string>

#include "platform/platform.h"

namespace zv {

// The temporary names of new files that are not complete yet.
constexpr char kNewFilePrefix[] = "ZN";

class WholeFileWriter {
 public:
  // prefix: the two letters of the temporary name (six more follow).
  WholeFileWriter(const std::string& target, const char* prefix);
  // Removes the temporary file unless it was committed.
  ~WholeFileWriter();
  WholeFileWriter(const WholeFileWriter&) = delete;
  WholeFileWriter& operator=(const WholeFileWriter&) = delete;

  // Creates the temporary file, empty, for reading and writing; nullptr
  // when no name can be made or the file cannot be created there.
  std::unique_ptr<File> create();
  // Puts the temporary file, which the caller has written and closed, in
  // place: over an existing target, or only when there is none. False when
  // the rename fails; the temporary file is then removed.
  bool commit(bool replaceExisting);

  const std::string& target() const { return target_; }
  const std::string& tempPath() const { return temp_; }

 private:
  std::string target_;
  std::string prefix_;
  std::string temp_;  // empty until created, and again once committed
};

}  // namespace zv
