// The command-line parser on the input as the raw command line: every value
// is a piece of the line, and a name over the limit is refused.
#include "fuzz_support.h"
#include "shell/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using zv::fuzz::require;
  const std::string raw(reinterpret_cast<const char*>(data), size);
  const zv::CommandLine c = zv::parseCommandLine(raw);
  require(!c.compress || !c.decompress, "both compress and decompress");
  require(raw.find(c.logName) != std::string::npos, "log name not taken from the line");
  require(raw.find(c.workFile) != std::string::npos, "work file not taken from the line");
  const size_t limit = 259;
  const bool anyTooLong = raw.size() > limit || c.catalogName.size() > limit ||
                          c.definitionName.size() > limit || c.responseName.size() > limit;
  require(anyTooLong == !c.tooLong.empty(), "tooLong disagrees with the lengths");
  return 0;
}
