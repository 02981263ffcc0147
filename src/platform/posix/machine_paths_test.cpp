#include "platform/posix/machine_paths.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

namespace zv {
namespace {

class MachinePathsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/zvpaths-XXXXXX";
    ASSERT_TRUE(mkdtemp(pattern));
    dir_ = pattern;
    std::filesystem::create_directories(dir_ + "/drive_c/Program Files/Zevra");
    std::ofstream(dir_ + "/drive_c/Program Files/Zevra/ZEVRA.INI") << "x";
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string dir_;
};

TEST_F(MachinePathsTest, DriveLettersLiveInDriveFolders) {
  MachinePaths paths(dir_);
  EXPECT_EQ(paths.toHost("C:\\Program Files\\Zevra\\ZEVRA.INI"),
            dir_ + "/drive_c/Program Files/Zevra/ZEVRA.INI");
  EXPECT_EQ(paths.toHost("d:\\x"), dir_ + "/drive_d/x");
  EXPECT_EQ(paths.toHost("C:"), dir_ + "/drive_c");
  EXPECT_EQ(paths.toHost("C:\\"), dir_ + "/drive_c");
  EXPECT_EQ(paths.toHost("C:README.TXT"), dir_ + "/drive_c/README.TXT");
  EXPECT_EQ(paths.toHost("C:/Program Files//Zevra/"), dir_ + "/drive_c/Program Files/Zevra");
}

TEST_F(MachinePathsTest, ExistingComponentsAreFoundWithoutRegardToCase) {
  MachinePaths paths(dir_);
  EXPECT_EQ(paths.toHost("c:\\PROGRAM FILES\\zevra\\zevra.ini"),
            dir_ + "/drive_c/Program Files/Zevra/ZEVRA.INI");
  // New names keep their case, also below a directory found by another case.
  EXPECT_EQ(paths.toHost("C:\\program files\\ZEVRA\\New\\File.Txt"),
            dir_ + "/drive_c/Program Files/Zevra/New/File.Txt");
}

TEST_F(MachinePathsTest, DotsResolveByNameAndStopAtTheDriveRoot) {
  MachinePaths paths(dir_);
  EXPECT_EQ(paths.toHost("C:\\Program Files\\.\\X\\..\\Zevra"),
            dir_ + "/drive_c/Program Files/Zevra");
  EXPECT_EQ(paths.toHost("C:\\..\\..\\etc"), dir_ + "/drive_c/etc");
}

TEST_F(MachinePathsTest, PathsWithoutDriveAreHostPaths) {
  MachinePaths paths(dir_);
  EXPECT_EQ(paths.toHost(dir_ + "\\DRIVE_C\\program files"), dir_ + "/drive_c/Program Files");
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
