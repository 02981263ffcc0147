#include "platform/posix/machine_paths.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/posix/machine_dirs_testing.h"

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

TEST_F(MachinePathsTest, PathsWithoutDriveAreHostPaths) {
  MachinePaths paths(top_);
  EXPECT_EQ(paths.toHost(top_ + "\\DRIVE_C\\program files"), top_ + "/drive_c/Program Files");
  EXPECT_EQ(paths.toHost("\\"), "/");
  EXPECT_EQ(paths.toHost("PKG\\UPD.DAT"), "PKG/UPD.DAT");
  EXPECT_EQ(paths.toHost("..\\UPD.DAT"), "../UPD.DAT");
  EXPECT_EQ(paths.toHost(""), ".");
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
