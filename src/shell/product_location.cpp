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

std::unique_ptr<Profile> newProfile(const std::string& name, Profile::Mode mode, int line) {
  std::unique_ptr<Profile> profile(new (std::nothrow) Profile(name, mode));
  if (!profile)
    throw Error(ErrorCode::kNoMemory, static_cast<unsigned>(sizeof(Profile)), kUnitShell, line);
  return profile;
}

}  // namespace

OsDetection DetectOs() {
  VersionInfo v;
  if (!Platform::current().getVersion(&v)) return OsDetection::kOther;
  switch (v.platformId) {
    case kPlatformNt:
      if (v.major == 3 && v.minor == 51) return OsDetection::kNt351;
      if (v.major == 4) return OsDetection::kNt40;
      if (v.major == 5) return OsDetection::kWindows2000;
      return OsDetection::kOther;
    case kPlatformWin32s:
      return OsDetection::kWin32s;
    case kPlatformWindows:  // Windows 95/98
      if (v.major == 4 && v.minor == 0) return OsDetection::kWindows95;
      if (v.major == 4 && v.minor == 10) return OsDetection::kWindows98;
      return OsDetection::kOther;
    default:
      return OsDetection::kOther;
  }
}

OsClass osClassOf(OsDetection detection) {
  switch (detection) {
    case OsDetection::kWindows95:
    case OsDetection::kWindows98:
      return OsClass::kWindows9x;
    case OsDetection::kNt351:
    case OsDetection::kNt40:
    case OsDetection::kWindows2000:
      return OsClass::kNt;
    case OsDetection::kWin32s:
      return OsClass::kWin32s;
    case OsDetection::kOther:
      break;
  }
  return OsClass::kOther;
}

std::unique_ptr<ConfigData> LocateProduct(const std::string& windowsDir) {
  auto config = std::make_unique<ConfigData>();
  Platform& platform = Platform::current();
  RegKey key;
  std::unique_ptr<Profile> location;
  if (platform.regOpenKey(kHkeyLocalMachine, kSettingsImageKey, RegAccess::kRead, &key) ==
      kErrorSuccess) {
    platform.regCloseKey(key);
    location = newProfile(kSettingsImageKey, Profile::kRegistryMode, __LINE__);
  } else {
    location = newProfile(withBackslash(windowsDir) + kSettingsFile, Profile::kFileMode, __LINE__);
  }
  config->setOsDetection(DetectOs());
  config->setOsClass(osClassOf(config->osDetection()));
  config->setWindowsDir(windowsDir);
  config->setProductDir(location->getString("Zevra", "root", ""));
  config->setRegistryLocation(location->isRegistry() ? 1 : 0);
  config->setProductProfile(newProfile(withBackslash(config->productDir()) + kSettingsFile,
                                       Profile::kFileMode, __LINE__));
  config->setLocationProfile(std::move(location));
  return config;
}

}  // namespace zv
