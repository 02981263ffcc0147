#include "shell/product_location.h"

#include <new>

#include "base/error.h"
#include "base/windows_path.h"
#include "platform/platform.h"
#include "platform/registry_names.h"
#include "profile/profile.h"

namespace zv {

namespace {

const char kSettingsFile[] = "ZEVRA.INI";

Profile* newProfile(const std::string& name, int mode, int line) {
  Profile* profile = new (std::nothrow) Profile(name, mode);
  if (!profile) throw Error(1, static_cast<unsigned>(sizeof(Profile)), kUnitShell, line);
  return profile;
}

}  // namespace

int DetectOs() {
  VersionInfo v;
  if (!Platform::current().getVersion(&v)) return 0;
  switch (v.platformId) {
    case 2:  // NT
      if (v.major == 3 && v.minor == 51) return 2;
      if (v.major == 4) return 8;
      if (v.major == 5) return 9;
      return 0;
    case 0:  // Win32s
      return 4;
    case 1:  // Windows 95/98
      if (v.major == 4 && v.minor == 0) return 1;
      if (v.major == 4 && v.minor == 10) return 7;
      return 0;
    default:
      return 0;
  }
}

int osClassOf(int detection) {
  if (detection == 7) return 1;
  if (detection == 8 || detection == 9) return 2;
  return detection;
}

std::unique_ptr<ConfigData> LocateProduct(const std::string& windowsDir) {
  auto config = std::make_unique<ConfigData>();
  Platform& platform = Platform::current();
  RegKey key;
  std::unique_ptr<Profile> location;
  if (platform.regOpenKey(kHkeyLocalMachine, kSettingsImageKey, RegAccess::kRead, &key) ==
      kErrorSuccess) {
    platform.regCloseKey(key);
    location.reset(newProfile(kSettingsImageKey, Profile::kRegistryMode, __LINE__));
  } else {
    location.reset(
        newProfile(withBackslash(windowsDir) + kSettingsFile, Profile::kFileMode, __LINE__));
  }
  config->setOsDetection(DetectOs());
  config->setOsClass(osClassOf(config->osDetection()));
  config->setWindowsDir(windowsDir);
  config->setProductDir(location->getString("Zevra", "root", ""));
  config->setRegistryLocation(location->isRegistry() ? 1 : 0);
  config->setProductProfile(newProfile(withBackslash(config->productDir()) + kSettingsFile,
                                       Profile::kFileMode, __LINE__));
  config->setLocationProfile(location.release());
  return config;
}

}  // namespace zv
