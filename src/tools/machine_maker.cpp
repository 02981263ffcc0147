#include "tools/machine_maker.h"

#include <filesystem>

#include "platform/posix/machine_config.h"
#include "platform/posix/machine_paths.h"
#include "platform/posix/posix_file.h"
#include "platform/strings.h"

namespace fs = std::filesystem;

namespace zv {

namespace {

// REGEDIT4 escapes of a string value or name.
std::string quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + "\"";
}

// Lines end in CR LF, as Windows writes them.
std::string crlf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
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

  std::string registry = "REGEDIT4\n\n";
  std::string settingsIni;
  for (const auto& section : sections) {
    if (spec.registryImage) {
      registry += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\QEL\\RUZEVU\\ZEVRA.INI\\" + section.first + "]\n";
      for (const auto& kv : section.second)
        registry += quoted(kv.first) + "=" + quoted(kv.second) + "\n";
      registry += "\n";
    } else {
      settingsIni += "[" + section.first + "]\n";
      for (const auto& kv : section.second) settingsIni += kv.first + "=" + kv.second + "\n";
    }
  }
  for (const MachineSpec::RegistryValue& v : spec.registry) {
    registry += "[" + v.key + "]\n" + quoted(v.name) + "=" + quoted(v.value) + "\n\n";
  }
  bool ok = writeHostFileWhole(dir + "/machine.ini", crlf(machineIni), error) &&
            writeHostFileWhole(dir + "/registry.reg", crlf(registry), error);
  if (ok && !settingsIni.empty()) {
    ok = writeHostFileWhole(paths.toHost(windowsDir + "\\ZEVRA.INI"), crlf(settingsIni), error);
  }
  if (ok && !spec.productDir.empty()) {
    ok = writeHostFileWhole(paths.toHost(spec.productDir + "\\ZEVRA.INI"),
                            crlf("[Zevra]\nVersion=1.0\n"), error);
  }
  return ok;
}

}  // namespace zv
