#include "simulator/machine_paths.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "simulator/machine_dirs_testing.h"

namespace zv {
namespace {

class MachinePathsTest : public MachineDirsTest {
 protected:
  void SetUp() override {
    MachineDirsTest::SetUp();
    put("drive_c/Program Files/Zevra/ZEVRA.INI", "x");
  }
};

TEST_F(MachinePathsTest, DriveLettersLiveInDriveFolders) {
  MachinePaths paths(top_);
  EXPECT_EQ(paths.toHost("C:\\Program Files\\Zevra\\ZEVRA.INI"),
            top_ + "/drive_c/Program Files/Zevra/ZEVRA.INI");
  EXPECT_EQ(paths.toHost("d:\\x"), top_ + "/drive_d/x");
  EXPECT_EQ(paths.toHost("C:"), top_ + "/drive_c");
  EXPECT_EQ(paths.toHost("C:\\"), top_ + "/drive_c");
  EXPECT_EQ(paths.toHost("C:README.TXT"), top_ + "/drive_c/README.TXT");
  EXPECT_EQ(paths.toHost("C:/Program Files//Zevra/"), top_ + "/drive_c/Program Files/Zevra");
}

TEST_F(MachinePathsTest, ExistingComponentsAreFoundWithoutRegardToCase) {
  MachinePaths paths(top_);
  EXPECT_EQ(paths.toHost("c:\\PROGRAM FILES\\zevra\\zevra.ini"),
            top_ + "/drive_c/Program Files/Zevra/ZEVRA.INI");
  // New names keep their case, also below a directory found by another case.
  EXPECT_EQ(paths.toHost("C:\\program files\\ZEVRA\\New\\File.Txt"),
            top_ + "/drive_c/Program Files/Zevra/New/File.Txt");
}

TEST_F(MachinePathsTest, DotsResolveByNameAndStopAtTheDriveRoot) {
  MachinePaths paths(top_);
  EXPECT_EQ(paths.toHost("C:\\Program Files\\.\\X\\..\\Zevra"),
            top_ + "/drive_c/Program Files/Zevra");
  EXPECT_EQ(paths.toHost("C:\\..\\..\\etc"), top_ + "/drive_c/etc");
}

// A path without a drive letter is the host's only within what a person
// handed over; otherwise a rooted one is on the system drive and a relative
// one stays in the current directory. No UNC path, no link out.
TEST_F(MachinePathsTest, PathsWithoutDriveAreTheHostsOnlyWhereHandedOver) {
  put("pkg/UPD.DAT", "x");
  put("outside/secret.txt", "x");
  char host[] = "/tmp/zvhost-XXXXXX";  // a folder of the host, out of the machine
  ASSERT_TRUE(mkdtemp(host));
  std::filesystem::create_directory_symlink(host, at("drive_c/Program Files/Out"));
  std::filesystem::create_directory_symlink(at("drive_c/Program Files"), at("drive_c/Inside"));
  MachinePaths paths(top_);
  paths.handOver(at("pkg"));
  paths.setSystemDrive('D');
  const std::pair<std::string, std::string> cases[] = {
      // handed over: the host's own, found without regard to case
      {top_ + "\\PKG\\upd.dat", top_ + "/pkg/UPD.DAT"},
      {top_ + "/pkg/../pkg/New.TXT", top_ + "/pkg/New.TXT"},
      // rooted, not handed over: the system drive
      {top_ + "\\outside\\secret.txt", top_ + "/drive_d" + top_ + "/outside/secret.txt"},
      {"/etc/passwd", top_ + "/drive_d/etc/passwd"},
      {"\\", top_ + "/drive_d"},
      // relative: the current directory, never above it
      {"PKG\\UPD.DAT", "PKG/UPD.DAT"},
      {"..\\..\\UPD.DAT", "UPD.DAT"},
      {"", "."},
      // no network, no link out of the machine; links within it are followed
      {"\\\\server\\share\\x", ""},
      {"//server/share", ""},
      {"C:\\Program Files\\Out\\secret.txt", ""},
      {"C:\\Inside\\Zevra\\ZEVRA.INI", top_ + "/drive_c/Inside/Zevra/ZEVRA.INI"},
  };
  for (const auto& c : cases) EXPECT_EQ(paths.toHost(c.first), c.second) << c.first;
  std::filesystem::remove(host);
}

TEST(WindowsPathOf, DriveFoldersBecomeDriveLetters) {
  EXPECT_EQ(windowsPathOf("drive_c/Program Files/Zevra/ZEVRA.INI"),
            "C:\\Program Files\\Zevra\\ZEVRA.INI");
  EXPECT_EQ(windowsPathOf("drive_d"), "D:\\");
  EXPECT_EQ(windowsPathOf("drive_d/"), "D:\\");
  // Not a drive of the machine.
  EXPECT_EQ(windowsPathOf("registry.reg"), "");
  EXPECT_EQ(windowsPathOf("drive_"), "");
  EXPECT_EQ(windowsPathOf("drive_cd/X"), "");
  EXPECT_EQ(windowsPathOf("drive_C/X"), "");
  // Round trip with toHost for a name that exists.
  MachinePaths paths("/m");
  EXPECT_EQ(paths.toHost(windowsPathOf("drive_e/A/B.TXT")), "/m/drive_e/A/B.TXT");
}

}  // namespace
}  // namespace zv
