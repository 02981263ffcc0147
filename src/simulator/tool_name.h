// The tool that runs the simulated machine (zvpatch, zvboot, zvpatch-diff),
// named in the messages the machine itself writes to standard error.
#pragma once

namespace zv {

void setToolName(const char* name);
const char* toolName();

}  // namespace zv
