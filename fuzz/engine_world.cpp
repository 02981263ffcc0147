#include "engine_world.h"

#include "files/compressed_file.h"
#include "platform/platform.h"
#include "platform/registry_names.h"

namespace zv::fuzz {

namespace {

const char kLocationIni[] =
    "[Zevra]\r\nroot=C:\\PROD\r\n\r\n[Versions]\r\nDriver=4.00\r\nName= ABC \r\n"
    "Old=3.1\r\n\r\n[Install]\r\nPatch0=OLD0001\r\n\r\n[Options]\r\nColor=red\r\n";
const char kProductIni[] = "[Settings]\r\nVersion=1.0\r\n\r\n[Legacy]\r\nA=1\r\n";
const char kLocationPath[] = "C:\\WINDOWS\\ZEVRA.INI";

void setString(RegKey root, const std::string& path, const std::string& name,
               const std::string& value) {
  Platform& p = Platform::current();
  RegKey key;
  if (p.regCreateKey(root, path, &key) != kErrorSuccess) return;
  p.regSetString(key, name, value);
  p.regCloseKey(key);
}

}  // namespace

uint32_t hashOf(const uint8_t* data, size_t size) {
  uint32_t h = 2166136261u;
  for (size_t i = 0; i < size; ++i) h = (h ^ data[i]) * 16777619u;
  return h;
}

EngineWorld::EngineWorld(const std::string& name) : name_(name) {
  machine_ = std::make_unique<Machine>(name_);
  Platform& p = Platform::current();
  p.createDir("C:\\PKG");
  std::string messages;
  for (int n = 1; n <= 47; ++n) messages += "M" + std::to_string(n) + "\r\n";
  writeFile("C:\\PKG\\UPD.MSG", messages);
  catalog_ = std::make_unique<NLSClass>("C:\\PKG\\UPD.MSG");
  std::string failure;
  catalog_->LoadCatalog(&failure);
  writeFile("C:\\PKG\\CORE.DLL", "core library, version 2\r\n");
  compressFile("C:\\PKG\\CORE.DLL", "C:\\PKG\\CORE.DL_", 0);
  compressedCore_ = readFile("C:\\PKG\\CORE.DL_");
  populate();
}

void EngineWorld::rebuild() {
  settings_.setLocationProfile(nullptr);
  settings_.setProductProfile(nullptr);
  machine_.reset();
  machine_ = std::make_unique<Machine>(name_);
  populate();
}

void EngineWorld::populate() {
  Platform& p = Platform::current();
  for (const char* dir : {"C:\\PKG", "C:\\PROD", "C:\\PROD\\DOC", "C:\\WINDOWS\\SYSTEM"}) {
    p.createDir(dir);
  }
  writeFile("C:\\PKG\\ZVPATCH.001", "disk 1\r\n");
  writeFile("C:\\PKG\\NEW.DLL", "new library\r\n");
  writeFile("C:\\PKG\\CORE.DL_", compressedCore_);
  writeFile("C:\\PKG\\README.TXT", "Installed in \\ZEVRA, Windows in \\WINDOWS.\r\n");
  writeFile("C:\\PROD\\CORE.DLL", "core library, version 1\r\n");
  writeFile("C:\\PROD\\B.TXT", "b\r\n");
  writeFile("C:\\PROD\\R1.DLL", "r1\r\n");
  writeFile("C:\\PROD\\ZEVRA.INI", kProductIni);
  writeFile(kLocationPath, kLocationIni);
  writeFile("C:\\WINDOWS\\SYSTEM\\E4.DRV", "e4\r\n");
  setString(kHkeyLocalMachine, "SOFTWARE\\QEL\\Driver", "Version", "1.0");
  setString(kHkeyLocalMachine, "SOFTWARE\\QEL\\Driver", "", "unnamed");
  setString(kHkeyCurrentUser, "Software\\QEL\\Old\\Sub", "K", "v");
  setString(kHkeyLocalMachine, kSettingsImageKey, "", "");
  setString(kHkeyLocalMachine, std::string(kSettingsImageKey) + "\\Zevra", "root", "C:\\PROD");

  settings_ = ConfigData();
  settings_.setWindowsDir("C:\\WINDOWS");
  settings_.setProductDir("C:\\PROD");
  settings_.setProgramDir(kProgramDir);
  settings_.setOsDetection(OsDetection::kWindows98);
  settings_.setOsClass(OsClass::kWindows9x);
  settings_.setLocationProfile(std::make_unique<Profile>(kLocationPath, Profile::kFileMode));
  settings_.setProductProfile(std::make_unique<Profile>("C:\\PROD\\ZEVRA.INI", Profile::kFileMode));
}

void EngineWorld::chooseSettings(uint32_t bits) {
  static const OsDetection kDetections[] = {OsDetection::kWindows95, OsDetection::kWindows98,
                                            OsDetection::kNt40, OsDetection::kWindows2000};
  const OsDetection detection = kDetections[bits & 3];
  settings_.setOsDetection(detection);
  settings_.setOsClass(detection == OsDetection::kWindows95 || detection == OsDetection::kWindows98
                           ? OsClass::kWindows9x
                           : OsClass::kNt);
  settings_.setInteractive((bits >> 2) & 1);
  settings_.setCid((bits >> 3) & 1);
  settings_.setDebug((bits >> 4) & 1);
  settings_.setCompression((bits >> 5) & 1);
  settings_.setForce((bits >> 6) & 1);
  settings_.setBackup((bits >> 7) & 1);
  // The settings held in the registry image instead of ZEVRA.INI.
  const bool inRegistry = (bits >> 8) & 1;
  settings_.setLocationProfile(
      inRegistry ? std::make_unique<Profile>(kSettingsImageKey, Profile::kRegistryMode)
                 : std::make_unique<Profile>(kLocationPath, Profile::kFileMode));
  settings_.setRegistryLocation(inRegistry ? 1 : 0);
}

}  // namespace zv::fuzz
