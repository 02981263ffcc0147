#include "simulator/machine_config.h"

#include <gtest/gtest.h>

namespace zv {
namespace {

TEST(MachineConfigTest, EveryVersionNameReportsItsWindows) {
  struct {
    const char* name;
    uint32_t platform, major, minor;
  } expected[] = {{"win32s", 0, 3, 10}, {"win95", 1, 4, 0},  {"win98", 1, 4, 10},
                  {"winme", 1, 4, 90},  {"nt351", 2, 3, 51}, {"nt40", 2, 4, 0},
                  {"win2k", 2, 5, 0},   {"winxp", 2, 5, 1}};
  for (const auto& e : expected) {
    MachineConfig c;
    std::string error;
    ASSERT_TRUE(parseMachineConfig(std::string("[Machine]\r\nVersion=") + e.name + "\r\n", "m.ini",
                                   &c, &error))
        << error;
    EXPECT_EQ(c.versionInfo.platformId, e.platform) << e.name;
    EXPECT_EQ(c.versionInfo.major, e.major) << e.name;
    EXPECT_EQ(c.versionInfo.minor, e.minor) << e.name;
  }
}

TEST(MachineConfigTest, DefaultsOverridesAndWindowsDir) {
  MachineConfig c;
  std::string error;
  ASSERT_TRUE(parseMachineConfig(defaultMachineIni(), "m.ini", &c, &error)) << error;
  EXPECT_EQ(c.version, "win98");
  EXPECT_EQ(c.windowsDir, "C:\\WINDOWS");

  // Overrides win over Version wherever they stand.
  ASSERT_TRUE(parseMachineConfig("[machine]\nMinor=51\nVersion=NT40\n WindowsDir = D:\\WINNT \n",
                                 "m.ini", &c, &error))
      << error;
  EXPECT_EQ(c.versionInfo.platformId, 2u);
  EXPECT_EQ(c.versionInfo.major, 4u);
  EXPECT_EQ(c.versionInfo.minor, 51u);
  EXPECT_EQ(c.windowsDir, "D:\\WINNT");
}

TEST(MachineConfigTest, MalformedLinesAreNamedAndNothingIsTaken) {
  struct {
    const char* text;
    const char* error;
  } cases[] = {
      {"[Machine]\nVersion=win2000\n", "m.ini:2: unknown Version 'win2000'"},
      {"; c\n[Machine]\n\nMajor=four\n", "m.ini:4: Major must be a number"},
      {"[Machine]\nColour=blue\n", "m.ini:2: unknown key 'Colour'"},
      {"Version=win95\n", "m.ini:1: key outside the [Machine] section"},
      {"[Machine\n", "m.ini:1: unterminated section header"},
      {"[Other]\n", "m.ini:1: unknown section [Other]"},
      {"[Machine]\njunk\n", "m.ini:2: expected key=value"},
  };
  for (const auto& c : cases) {
    MachineConfig config;
    config.windowsDir = "untouched";
    std::string error;
    EXPECT_FALSE(parseMachineConfig(c.text, "m.ini", &config, &error)) << c.text;
    EXPECT_EQ(error.rfind(c.error, 0), 0u) << error;
    EXPECT_EQ(config.windowsDir, "untouched");
  }
}

}  // namespace
}  // namespace zv
