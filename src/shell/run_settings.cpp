#include "shell/run_settings.h"

namespace zv {

// The two files are not read yet: every key takes its default, as for a
// file without the section.
void readDefinitionSettings(const CommandLine& commandLine, ConfigData& config, NLSClass& nls) {
  std::string logName = commandLine.switchL ? commandLine.logName : "";
  int appendLog = 0;
  nls.OpenLog(logName, appendLog);
  config.setForce(0);
  config.setBackup(1);
  if (!commandLine.switchI) config.setInteractive(1);
  if (!commandLine.switchD) config.setDebug(0);
  config.setDiskettes(1);
  config.setCompression(0);
  config.setAllowReinstall(0);
}

ResponseSettings readResponseSettings(const std::string&, ConfigData& config) {
  ResponseSettings settings;
  config.setCid(settings.cid);
  return settings;
}

}  // namespace zv
