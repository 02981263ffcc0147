#include "files/file_copy.h"

#include "base/error.h"

namespace zv {

void copyContents(File& source, const std::string& sourcePath, File& destination,
                  const std::string& destinationPath) {
  // One buffer for every copy keeps the stack small; copies never overlap.
  static char buffer[4096];
  for (;;) {
    const int64_t got = source.read(buffer, sizeof buffer);
    if (got < 0) throw Error(ErrorCode::kReadFailed, sourcePath, kUnitFiles, __LINE__);
    if (got == 0) return;
    if (destination.write(buffer, static_cast<size_t>(got)) < got) {
      throw Error(ErrorCode::kWriteFailed, destinationPath, kUnitFiles, __LINE__);
    }
  }
}

}  // namespace zv
