#include "shell/run_settings.h"

#include <new>

#include "base/error.h"
#include "profile/profile.h"

namespace zv {

namespace {

std::unique_ptr<Profile> openProfile(const std::string& name, int line) {
  Profile* profile = new (std::nothrow) Profile(name, Profile::kFileMode);
  if (!profile)
    throw Error(ErrorCode::kNoMemory, static_cast<unsigned>(sizeof(Profile)), kUnitShell, line);
  return std::unique_ptr<Profile>(profile);
}

}  // namespace

void readDefinitionSettings(const CommandLine& commandLine, ConfigData& config, NLSClass& nls) {
  std::unique_ptr<Profile> definition = openProfile(commandLine.definitionName, __LINE__);
  Profile& p = *definition;
  const char kSection[] = "Patch";
  std::string logName =
      commandLine.logNameGiven ? commandLine.logName : p.getString(kSection, "LogFile", "");
  nls.OpenLog(logName, p.getInt(kSection, "AppendLog", 0) != 0);
  config.setForce(p.getInt(kSection, "Force", 0));
  config.setBackup(p.getInt(kSection, "Backup", 1));
  if (!commandLine.notInteractive) config.setInteractive(p.getInt(kSection, "Interactive", 1));
  if (!commandLine.verboseTrace) config.setDebug(p.getInt(kSection, "Debug", 0));
  config.setDiskettes(p.getInt(kSection, "Diskettes", 1));
  config.setCompression(p.getInt(kSection, "Compression", 0));
  config.setAllowReinstall(p.getInt(kSection, "AllowReinstall", 0));
}

ResponseSettings readResponseSettings(const std::string& responseName, ConfigData& config) {
  std::unique_ptr<Profile> response = openProfile(responseName, __LINE__);
  Profile& p = *response;
  const char kSection[] = "CID";
  ResponseSettings settings;
  settings.cid = p.getInt(kSection, "CID", 0);
  if (settings.cid != 0) {
    settings.cidReboot = p.getInt(kSection, "CIDReboot", 0);
    settings.cidInstall = p.getInt(kSection, "CIDInstall", 0);
  }
  settings.cidClose = p.getInt(kSection, "CIDClose", 0);
  config.setCid(settings.cid);
  return settings;
}

}  // namespace zv
