#include "simulator/machine_paths.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "simulator/machine_dirs_testing.h"

namespace zv {
namespace {

// A path without a drive letter is the host's only within what a person
// handed over; otherwise a rooted one is on the system drive and a relative
// one stays in the current directory. No UNC path, no link out.
TEST_F(MachineDirsTest, MachinePathsNeverLeadOutOfTheMachine) {
  put("drive_c/Program Files/Zevra/ZEVRA.INI", "x");
  put("pkg/UPD.DAT", "x");
  char host[] = "/tmp/zvhost-XXXXXX";  // a folder of the host, out of the machine
  ASSERT_TRUE(mkdtemp(host));
  std::filesystem::create_directory_symlink(host, at("drive_c/Program Files/Out"));
  std::filesystem::create_directory_symlink(at("drive_c/Program Files"), at("drive_c/Inside"));
  MachinePaths paths(top_);
  paths.handOver(at("pkg"));
  const std::string zevra = top_ + "/drive_c/Program Files/Zevra";
  const std::pair<std::string, std::string> cases[] = {
      // drives, names found in any case, new names as given, dots by name
      {"C:\\Program Files\\Zevra\\ZEVRA.INI", zevra + "/ZEVRA.INI"},
      {"c:\\PROGRAM FILES\\zevra\\zevra.ini", zevra + "/ZEVRA.INI"},
      {"C:\\program files\\ZEVRA\\New\\File.Txt", zevra + "/New/File.Txt"},
      {"C:/Program Files//Zevra/", zevra},
      {"C:\\Program Files\\.\\X\\..\\Zevra", zevra},
      {"d:\\x", top_ + "/drive_d/x"},
      {"C:", top_ + "/drive_c"},
      {"C:\\", top_ + "/drive_c"},
      {"C:README.TXT", top_ + "/drive_c/README.TXT"},
      {"C:\\..\\..\\etc", top_ + "/drive_c/etc"},
      // handed over: the host's own, found without regard to case
      {top_ + "\\PKG\\upd.dat", top_ + "/pkg/UPD.DAT"},
      {top_ + "/pkg/../pkg/New.TXT", top_ + "/pkg/New.TXT"},
      // rooted, not handed over: the system drive
      {top_ + "\\outside\\secret.txt", top_ + "/drive_c" + top_ + "/outside/secret.txt"},
      {"/etc/passwd", top_ + "/drive_c/etc/passwd"},
      {"\\", top_ + "/drive_c"},
      // relative: the current directory, never above it
      {"PKG\\UPD.DAT", "PKG/UPD.DAT"},
      {"a\\..\\..\\..\\UPD.DAT", "UPD.DAT"},
      {"", "."},
      // no network, no link out of the machine; links within it are followed
      {"\\\\server\\share\\x", ""},
      {"//server/share", ""},
      {"C:\\Program Files\\Out\\secret.txt", ""},
      {"C:\\Inside\\Zevra\\ZEVRA.INI", top_ + "/drive_c/Inside/Zevra/ZEVRA.INI"},
  };
  for (const auto& [windows, hostPath] : cases)
    EXPECT_EQ(paths.toHost(windows), hostPath) << windows;
  paths.setSystemDrive('D');
  EXPECT_EQ(paths.toHost("\\x"), top_ + "/drive_d/x");
  paths.handOver("..");
  EXPECT_EQ(paths.toHost("..\\x"), "../x") << "handed over, a relative path may go up";
  std::filesystem::remove(host);

  const std::pair<const char*, const char*> windowsPaths[] = {
      {"drive_c/Program Files/Z.INI", "C:\\Program Files\\Z.INI"},
      {"drive_d", "D:\\"},
      {"drive_d/", "D:\\"},
      {"registry.reg", ""},
      {"drive_", ""},
      {"drive_cd/X", ""},
      {"drive_C/X", ""},
  };
  for (const auto& [relative, windows] : windowsPaths) {
    EXPECT_EQ(windowsPathOf(relative), windows) << relative;
  }
}

}  // namespace
}  // namespace zv
