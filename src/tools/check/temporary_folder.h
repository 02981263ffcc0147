// A folder of its own under $TMPDIR (or /tmp), removed with everything in it
// when the object goes.
#pragma once

#include <string>

namespace zv {

class TemporaryFolder {
 public:
  // `prefix` names the tool, as in "zvpatch-check": /tmp/zvpatch-check-Xy12Ab.
  explicit TemporaryFolder(const std::string& prefix);
  ~TemporaryFolder();
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;

  bool ok() const { return !path_.empty(); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace zv
