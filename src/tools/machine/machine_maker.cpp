#include "tools/machine/machine_maker.h"

#include <algorithm>
#include <filesystem>

#include "base/strings.h"
#include "base/windows_path.h"
#include "platform/registry_names.h"
#include "platform/registry_store.h"
#include "simulator/machine_config.h"
#include "simulator/machine_paths.h"
#include "simulator/posix_file.h"

namespace fs = std::filesystem;

namespace zv {

namespace {

// The root of a whole key path, by its name or its short name, and the
// rest of the path.
bool splitRoot(const std::string& path, RegKey* root, std::string* key) {
  size_t slash = path.find('\\');
  std::string first = path.substr(0, slash);
  for (const RegistryRoot& r : kRegistryRoots) {
    if (equalsIgnoringCase(first, r.name) || equalsIgnoringCase(first, r.shortName)) {
      *root = r.handle;
      *key = slash == std::string::npos ? "" : path.substr(slash + 1);
      return !key->empty();
    }
  }
  return false;
}

bool isNt(const std::string& version) {
  VersionInfo info;
  return versionByName(version, &info) && info.platformId == 2;
}

}  // namespace

const std::vector<std::string>& allVersions() {
  static const std::vector<std::string> kVersions = {"win32s", "win95", "win98", "winme",
                                                     "nt351",  "nt40",  "win2k", "winxp"};
  return kVersions;
}

int readMachineOption(const std::vector<std::string>& args, size_t* i, MachineSpec* spec) {
  const std::string& option = args[*i];
  if (option == "--no-product") {
    spec->productDir.clear();
    return 1;
  }
  if (option == "--registry-image") {
    spec->registryImage = true;
    return 1;
  }
  static const std::vector<std::string> kWithValue = {"--version", "--windows-dir", "--product-dir",
                                                      "--setting", "--registry"};
  if (std::find(kWithValue.begin(), kWithValue.end(), option) == kWithValue.end()) return 0;
  if (*i + 1 >= args.size()) return -1;
  const std::string& value = args[++*i];
  if (option == "--version") {
    spec->version = value;
  } else if (option == "--windows-dir") {
    spec->windowsDir = value;
  } else if (option == "--product-dir") {
    spec->productDir = value;
  } else {
    // Three fields; the last one may hold commas.
    size_t first = value.find(',');
    size_t second = first == std::string::npos ? first : value.find(',', first + 1);
    if (second == std::string::npos) return -1;
    std::string a = value.substr(0, first), b = value.substr(first + 1, second - first - 1);
    std::string c = value.substr(second + 1);
    if (option == "--setting") {
      spec->settings.push_back({a, b, c});
    } else {
      spec->registry.push_back({a, b, c});
    }
  }
  return 1;
}

bool makeMachine(const std::string& dir, const MachineSpec& spec, std::string* error) {
  VersionInfo info;
  if (!versionByName(spec.version, &info)) {
    *error = "unknown version '" + spec.version +
             "' (win32s, win95, win98, winme, nt351, nt40, win2k, winxp)";
    return false;
  }
  std::error_code ec;
  if (fs::exists(dir, ec)) {
    *error = dir + " exists already";
    return false;
  }
  std::string windowsDir = spec.windowsDir;
  if (windowsDir.empty()) {
    windowsDir = spec.version == "nt351" || spec.version == "nt40" ? "C:\\WINNT" : "C:\\WINDOWS";
  }
  if (windowsDir.size() < 3 || windowsDir[1] != ':' || windowsDir[2] != '\\') {
    *error = "the Windows directory must be a path with its drive, as C:\\WINDOWS";
    return false;
  }
  if (!spec.productDir.empty() &&
      (spec.productDir.size() < 3 || spec.productDir[1] != ':' || spec.productDir[2] != '\\')) {
    *error = "the product directory must be a path with its drive, as C:\\ZEVRA";
    return false;
  }
  // The settings of the Windows directory's ZEVRA.INI, section by section.
  std::vector<std::pair<std::string, std::vector<std::pair<std::string, std::string>>>> sections;
  auto set = [&](const std::string& section, const std::string& key, const std::string& value) {
    for (auto& s : sections) {
      if (equalsIgnoringCase(s.first, section)) {
        s.second.emplace_back(key, value);
        return;
      }
    }
    sections.push_back({section, {{key, value}}});
  };
  if (!spec.productDir.empty()) set("Zevra", "root", spec.productDir);
  for (const MachineSpec::Setting& s : spec.settings) set(s.section, s.key, s.value);

  // The registry is made in the machine's own store, so that it is written
  // as the machine reads it.
  RegistryStore registry;
  auto setString = [&](RegKey root, const std::string& key, const std::string& name,
                       const std::string& value) {
    RegKey handle = 0;
    if (registry.createKey(root, key, &handle) != kErrorSuccess) return false;
    bool done = registry.setValue(handle, name, kRegSz, value + '\0') == kErrorSuccess;
    registry.closeKey(handle);
    return done;
  };
  std::string settingsIni;
  for (const auto& section : sections) {
    if (!spec.registryImage) settingsIni += "[" + section.first + "]\n";
    for (const auto& kv : section.second) {
      if (!spec.registryImage) {
        settingsIni += kv.first + "=" + kv.second + "\n";
      } else if (!setString(kHkeyLocalMachine, withBackslash(kSettingsImageKey) + section.first,
                            kv.first, kv.second)) {
        *error = "cannot put [" + section.first + "] " + kv.first + " in the registry image";
        return false;
      }
    }
  }
  for (const MachineSpec::RegistryValue& v : spec.registry) {
    RegKey root = 0;
    std::string key;
    if (!splitRoot(v.key, &root, &key) || !setString(root, key, v.name, v.value)) {
      *error = "cannot set \"" + v.name + "\" of " + v.key +
               ": the key must begin with HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, "
               "HKEY_CLASSES_ROOT or HKEY_USERS (or HKLM, HKCU, HKCR, HKU)";
      return false;
    }
  }

  MachinePaths paths(dir);
  // The folders every Windows of that family has.
  std::string windows = paths.toHost(windowsDir);
  for (const char* sub : {"TEMP", "SYSTEM"}) fs::create_directories(windows + "/" + sub, ec);
  if (isNt(spec.version)) fs::create_directories(windows + "/SYSTEM32/DRIVERS", ec);
  if (!spec.productDir.empty()) fs::create_directories(paths.toHost(spec.productDir), ec);
  if (ec) {
    *error = "cannot make " + dir + ": " + ec.message();
    return false;
  }
  std::string machineIni =
      "[Machine]\nVersion=" + spec.version + "\nWindowsDir=" + windowsDir + "\n";
  bool ok = writeHostFileWhole(dir + "/machine.ini", withCrLf(machineIni), error) &&
            writeHostFileWhole(dir + "/registry.reg", withCrLf(registry.serialize()), error);
  if (ok && !settingsIni.empty()) {
    ok = writeHostFileWhole(paths.toHost(windowsDir + "\\ZEVRA.INI"), withCrLf(settingsIni), error);
  }
  if (ok && !spec.productDir.empty()) {
    ok = writeHostFileWhole(paths.toHost(spec.productDir + "\\ZEVRA.INI"),
                            withCrLf("[Zevra]\nVersion=1.0\n"), error);
  }
  return ok;
}

}  // namespace zv
