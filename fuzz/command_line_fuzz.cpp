// The command-line parser on the input as the raw command line.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "shell/command_line.h"

namespace {

void check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "fuzz: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string raw(reinterpret_cast<const char*>(data), size);
  const zv::CommandLine c = zv::parseCommandLine(raw);
  // Every value is a piece of the line or made from the program's path.
  check(c.logName.size() <= raw.size(), "log name longer than the line");
  check(c.workFile.size() <= raw.size(), "work file longer than the line");
  check(!c.compress || !c.decompress, "both compress and decompress");
  check(raw.find(c.logName) != std::string::npos, "log name not taken from the line");
  check(raw.find(c.workFile) != std::string::npos, "work file not taken from the line");
  const size_t limit = 259;
  const bool anyTooLong = raw.size() > limit || c.catalogName.size() > limit ||
                          c.definitionName.size() > limit || c.responseName.size() > limit;
  check(anyTooLong == !c.tooLong.empty(), "tooLong disagrees with the lengths");
  return 0;
}
