// The run settings read from the patch definition file (section Patch) and
// the response file (section CID).
#pragma once

#include <memory>
#include <string>

#include "engine/nls_class.h"
#include "files/config_data.h"
#include "shell/command_line.h"

namespace zv {

struct ResponseSettings {
  int cid = 0;
  int cidReboot = 0;
  int cidInstall = 0;
  int cidClose = 0;
};

// Reads section Patch into config and opens the trace log; the switches i,
// d and l take precedence over their keys.
void readDefinitionSettings(const CommandLine& commandLine, ConfigData& config, NLSClass& nls);

// Reads section CID; CIDReboot and CIDInstall only when CID is nonzero.
ResponseSettings readResponseSettings(const std::string& responseName, ConfigData& config);

}  // namespace zv
