#include "simulator/tool_name.h"

#include <cstdio>
#include <cstring>

#include "base/version.h"

namespace zv {

namespace {
const char* gToolName = "zvpatch";
}  // namespace

void setToolName(const char* name) {
  gToolName = name;
}

const char* toolName() {
  return gToolName;
}

bool printedVersion(int argc, char** argv) {
  if (argc != 2 || std::strcmp(argv[1], "--version") != 0) return false;
  std::printf("%s %s\n", gToolName, kVersion);
  return true;
}

}  // namespace zv
