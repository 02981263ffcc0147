#include "simulator/machine_config.h"

#include <gtest/gtest.h>

namespace zv {
namespace {

TEST(MachineConfigTest, VersionsOverridesAndMalformedLines) {
  const struct {
    const char* text;
    const char* result;  // version, Windows directory and what it reports; or the error
  } cases[] = {
      {"[Machine]\nVersion=win32s\n", "win32s C:\\WINDOWS 0.3.10"},
      {"[Machine]\nVersion=WIN95\n", "WIN95 C:\\WINDOWS 1.4.0"},
      {"[Machine]\nVersion=winme\n", "winme C:\\WINDOWS 1.4.90"},
      {"[Machine]\nVersion=nt351\n", "nt351 C:\\WINDOWS 2.3.51"},
      {"[Machine]\nVersion=winxp\n", "winxp C:\\WINDOWS 2.5.1"},
      {"; A\n[ machine ]\n\nMinor=51\nVersion=nt40\n WindowsDir = D:\\WINNT \n",
       "nt40 D:\\WINNT 2.4.51"},
      {"[Machine]\nPlatform=4294967295\nMajor=0\n", "win98 C:\\WINDOWS 4294967295.0.10"},
      {"[Machine]\nVersion=win2000\n", "m.ini:2: unknown Version 'win2000'"},
      {"[Machine]\nMajor=four\n", "m.ini:2: Major must be a number"},
      {"[Machine]\nMinor=\n", "m.ini:2: Minor must be a number"},
      {"[Machine]\nPlatform=-1\n", "m.ini:2: Platform must be a number"},
      {"[Machine]\nPlatform=4294967296\n", "m.ini:2: Platform must be a number"},
      {"[Machine]\nColour=blue\n", "m.ini:2: unknown key 'Colour'"},
      {"Version=win95\n", "m.ini:1: key outside the [Machine] section"},
      {"[Machine\n", "m.ini:1: unterminated section header"},
      {"[Other]\n", "m.ini:1: unknown section [Other]"},
      {"[Machine]\nWindowsDir=D:\\W\njunk\n", "m.ini:3: expected key=value"},
  };
  for (const auto& c : cases) {
    MachineConfig config;
    config.windowsDir = "untouched";
    std::string error, result;
    if (parseMachineConfig(c.text, "m.ini", &config, &error)) {
      const VersionInfo& v = config.versionInfo;
      result = config.version + " " + config.windowsDir + " " + std::to_string(v.platformId) + "." +
               std::to_string(v.major) + "." + std::to_string(v.minor);
    } else {
      result = error.substr(0, error.find(" (")).substr(0, error.find(", expected"));
      EXPECT_EQ(config.windowsDir, "untouched") << "nothing is taken";
    }
    EXPECT_EQ(result, c.result) << c.text;
  }
}

}  // namespace
}  // namespace zv
