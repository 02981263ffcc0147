// machine.ini of a simulated machine: which Windows it is and where its
// Windows directory lives.
#pragma once

#include <string>

#include "platform/platform.h"

namespace zv {

struct MachineConfig {
  std::string version = "win98";
  VersionInfo versionInfo{1, 4, 10};
  std::string windowsDir = "C:\\WINDOWS";
};

// What GetVersionEx reports for a version name (win32s, win95, win98,
// winme, nt351, nt40, win2k, winxp); false for an unknown name.
bool versionByName(const std::string& name, VersionInfo* info);

// Parses machine.ini. On a malformed text returns false with
// "<fileName>:<line>: <problem>" in *error.
bool parseMachineConfig(const std::string& text, const std::string& fileName, MachineConfig* config,
                        std::string* error);

// The machine.ini of a new machine.
std::string defaultMachineIni();

}  // namespace zv
