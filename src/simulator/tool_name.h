// The tool that runs the simulated machine (zvpatch, zvboot, zvpatch-diff),
// named in the messages the machine itself writes to standard error.
#pragma once

namespace zv {

void setToolName(const char* name);
const char* toolName();

// With "--version" as the only argument, prints "NAME VERSION" and is true:
// the tool is done.
bool printedVersion(int argc, char** argv);

}  // namespace zv
