#include "simulator/machine_config.h"

#include <cerrno>
#include <cstdlib>

#include "base/strings.h"
#include "base/text_lines.h"

namespace zv {

namespace {

struct NamedVersion {
  const char* name;
  VersionInfo info;
};

constexpr NamedVersion kVersions[] = {
    {"win32s", {0, 3, 10}}, {"win95", {1, 4, 0}}, {"win98", {1, 4, 10}}, {"winme", {1, 4, 90}},
    {"nt351", {2, 3, 51}},  {"nt40", {2, 4, 0}},  {"win2k", {2, 5, 0}},  {"winxp", {2, 5, 1}},
};

bool parseNumber(const std::string& text, uint32_t* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  unsigned long v = std::strtoul(text.c_str(), &end, 10);
  if (*end != '\0' || errno != 0 || v > 0xFFFFFFFFul || text[0] == '-') return false;
  *value = static_cast<uint32_t>(v);
  return true;
}

}  // namespace

bool versionByName(const std::string& name, VersionInfo* info) {
  for (const NamedVersion& v : kVersions) {
    if (equalsIgnoringCase(v.name, name)) {
      *info = v.info;
      return true;
    }
  }
  return false;
}

bool parseMachineConfig(const std::string& text, const std::string& fileName, MachineConfig* config,
                        std::string* error) {
  MachineConfig result;
  // Overrides apply after Version, wherever they stand in the section.
  bool hasPlatform = false, hasMajor = false, hasMinor = false;
  uint32_t platform = 0, major = 0, minor = 0;
  bool inMachine = false;
  size_t lineNo = 0;
  auto fail = [&](const std::string& what) {
    *error = fileName + ":" + std::to_string(lineNo) + ": " + what;
    return false;
  };
  for (const std::string& raw : textLines(text, false)) {
    ++lineNo;
    std::string line = trimmed(raw);
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line[0] == '[') {
      if (line.back() != ']') return fail("unterminated section header");
      std::string section = trimmed(line.substr(1, line.size() - 2));
      if (!equalsIgnoringCase(section, "Machine"))
        return fail("unknown section [" + section + "], expected [Machine]");
      inMachine = true;
      continue;
    }
    size_t eq = line.find('=');
    if (eq == std::string::npos) return fail("expected key=value");
    if (!inMachine) return fail("key outside the [Machine] section");
    std::string key = trimmed(line.substr(0, eq));
    std::string value = trimmed(line.substr(eq + 1));
    if (equalsIgnoringCase(key, "Version")) {
      if (!versionByName(value, &result.versionInfo))
        return fail("unknown Version '" + value +
                    "' (win32s, win95, win98, winme, nt351, nt40, win2k, winxp)");
      result.version = value;
    } else if (equalsIgnoringCase(key, "Platform")) {
      if (!parseNumber(value, &platform)) return fail("Platform must be a number");
      hasPlatform = true;
    } else if (equalsIgnoringCase(key, "Major")) {
      if (!parseNumber(value, &major)) return fail("Major must be a number");
      hasMajor = true;
    } else if (equalsIgnoringCase(key, "Minor")) {
      if (!parseNumber(value, &minor)) return fail("Minor must be a number");
      hasMinor = true;
    } else if (equalsIgnoringCase(key, "WindowsDir")) {
      result.windowsDir = value;
    } else {
      return fail("unknown key '" + key + "'");
    }
  }
  if (hasPlatform) result.versionInfo.platformId = platform;
  if (hasMajor) result.versionInfo.major = major;
  if (hasMinor) result.versionInfo.minor = minor;
  *config = result;
  return true;
}

std::string defaultMachineIni() {
  return "; A simulated Windows machine.\n"
         "; Version: win32s, win95, win98, winme, nt351, nt40, win2k or winxp.\n"
         "; Platform=, Major= and Minor= override what Version reports.\n"
         "[Machine]\n"
         "Version=win98\n"
         "WindowsDir=C:\\WINDOWS\n";
}

}  // namespace zv
