#include "tools/diff/machine_diff.h"

#include "simulator/machine_dirs_testing.h"
#include "tools/diff/machine_snapshot.h"

namespace zv {
namespace {

class MachineDiffTest : public MachineDirsTest {
 protected:
  void SetUp() override {
    MachineDirsTest::SetUp();
    put("pc/machine.ini", "[Machine]\r\nVersion=nt40\r\nWindowsDir=C:\\WINNT\r\n");
    put("pc/drive_c/PROD/CORE.DLL", "core 1.0");
    std::string error;
    ASSERT_TRUE(saveSnapshot(at("pc"), at("snap"), &error)) << error;
  }
  std::string show() {
    std::string report, error;
    EXPECT_TRUE(describeMachineChanges(at("snap"), at("pc"), &report, &error)) << error;
    return report;
  }
};

TEST_F(MachineDiffTest, UnusableArgumentsAndRegistriesAreErrors) {
  std::string report, error;
  EXPECT_FALSE(describeMachineChanges(at("snap"), at("none"), &report, &error));
  EXPECT_EQ(error, "no such directory: " + at("none"));
  EXPECT_FALSE(std::filesystem::exists(at("none")));  // not made a fresh machine
  put("snap/registry.reg", "REGEDIT4\r\n\r\nnonsense\r\n");
  EXPECT_FALSE(describeMachineChanges(at("snap"), at("pc"), &report, &error));
  EXPECT_EQ(error, at("snap") + "/registry.reg:3: unrecognised line");
}

// On Windows 98 a long name is shown with the short name Windows uses for it.
TEST_F(MachineDiffTest, LongNamesShowTheirShortNamesOnWindows98) {
  put("pc/machine.ini", "[Machine]\r\nVersion=win98\r\n");
  put("pc/drive_c/PROD/Zevra Help.html", "help");
  EXPECT_EQ(show(), "Files:\n  added     C:\\PROD\\Zevra Help.html (ZEVRAH~1.HTM)\n");
}

}  // namespace
}  // namespace zv
