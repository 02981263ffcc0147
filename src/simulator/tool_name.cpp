#include "simulator/tool_name.h"

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

}  // namespace zv
