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
    put("pc/registry.reg",
        "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Zevra\\Driver]\r\n\"Version\"=\"1.0\"\r\n"
        "\"Old\"=\"x\"\r\n");
    put("pc/drive_c/WINNT/ZEVRA.INI", "[Zevra]\r\nVersion=1.0\r\n[Old]\r\nKey=x\r\n");
    put("pc/drive_c/PROD/CORE.DLL", "core 1.0");
    put("pc/drive_c/PROD/OLD.TXT", "old");
    put("pc/drive_c/PROD/SAME.DLL", "same");
    put("pc/drive_c/PROD/A.DLL", "a");
    put("pc/drive_c/PROD/LAYOUT.INI", "[S]\r\nA=1\r\n");
    std::string error;
    ASSERT_TRUE(saveSnapshot(at("pc"), at("snap"), &error)) << error;
  }
  std::string show() {
    std::string report, error;
    EXPECT_TRUE(describeMachineChanges(at("snap"), at("pc"), &report, &error)) << error;
    return report;
  }
};

TEST_F(MachineDiffTest, NothingChanged) {
  put("pc/events.log", "box\tMB_OK\n");  // not part of the PC
  EXPECT_EQ(show(), "No changes.\n");
}

TEST_F(MachineDiffTest, EveryBlockInOrderAndSortedByPath) {
  put("pc/drive_c/PROD/NEW.DLL", "new");
  put("pc/drive_c/PROD/CORE.DLL", "core 1.1");
  put("pc/drive_c/PROD/CORE.OLD", "core 1.0");
  date("pc/drive_c/PROD/SAME.DLL", 60);
  std::filesystem::remove(at("pc/drive_c/PROD/OLD.TXT"));
  put("pc/drive_c/WINNT/ZEVRA.INI", "[Zevra]\r\nVersion=1.1\r\n[Install]\r\nPatch0=DEMO11\r\n\x1A");
  put("pc/drive_c/PROD/LAYOUT.INI", "; new comment\n[S]\nA=1\n");
  put("pc/drive_c/PROD/NEW.INI", "[N]\r\nK=v\r\n");
  put("pc/drive_c/PROD/EMPTY.INI", "; nothing\r\n");
  put("pc/registry.reg",
      "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Zevra\\Driver]\r\n\"Version\"=\"1.1\"\r\n"
      "\"Mode\"=dword:00000002\r\n");
  EXPECT_EQ(show(),
            "Files:\n"
            "  replaced  C:\\PROD\\CORE.DLL\n"
            "  backup    C:\\PROD\\CORE.OLD\n"
            "  added     C:\\PROD\\NEW.DLL\n"
            "  removed   C:\\PROD\\OLD.TXT\n"
            "  redated   C:\\PROD\\SAME.DLL\n"
            "INI files:\n"
            "  C:\\PROD\\EMPTY.INI\n"
            "    added, without keys\n"
            "  C:\\PROD\\LAYOUT.INI\n"
            "    no key changed (comments or layout)\n"
            "  C:\\PROD\\NEW.INI\n"
            "    [N] K added: v\n"
            "  C:\\WINNT\\ZEVRA.INI\n"
            "    [Zevra] Version changed: 1.0 -> 1.1\n"
            "    [Install] Patch0 added: DEMO11\n"
            "    [Old] Key removed (was: x)\n"
            "Registry:\n"
            "  HKEY_LOCAL_MACHINE\\SOFTWARE\\Zevra\\Driver\n"
            "    \"Version\" changed: \"1.0\" -> \"1.1\"\n"
            "    \"Mode\" added: dword:00000002\n"
            "    \"Old\" removed (was: \"x\")\n");
  std::filesystem::remove(at("pc/drive_c/PROD/NEW.INI"));
  std::filesystem::remove(at("pc/drive_c/PROD/LAYOUT.INI"));
  EXPECT_NE(show().find("  C:\\PROD\\LAYOUT.INI\n    removed\n"), std::string::npos) << show();
}

TEST_F(MachineDiffTest, WorkWaitingForTheNextStartInTheOrderItRuns) {
  // WININIT.INI first, in file order, then the delayed moves; both are
  // shown only here.
  put("pc/drive_c/WINNT/WININIT.INI",
      "[rename]\r\nC:\\PROD\\CORE.DLL=C:\\WINNT\\TEMP\\ZVa01234\r\nNUL=C:\\PROD\\OLD.TXT\r\n\x1A");
  std::string moves = "\\??\\C:\\PROD\\A.DLL|!\\??\\C:\\PROD\\B.DLL|\\??\\C:\\PROD\\SAME.DLL||";
  std::string hex;
  for (char c : moves) {
    char byte[4];
    std::snprintf(byte, sizeof byte, "%02x,", c == '|' ? 0 : static_cast<unsigned char>(c));
    hex += byte;
  }
  put("pc/registry.reg",
      "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Zevra\\Driver]\r\n\"Version\"=\"1.0\"\r\n"
      "\"Old\"=\"x\"\r\n"
      "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager]\r\n"
      "\"PendingFileRenameOperations\"=hex(7):" +
          hex + "00\r\n");
  // The key that holds the delayed moves is no change of its own.
  EXPECT_EQ(show(),
            "Waiting for the next start of Windows:\n"
            "  replace C:\\PROD\\CORE.DLL with C:\\WINNT\\TEMP\\ZVa01234\n"
            "  delete  C:\\PROD\\OLD.TXT\n"
            "  rename  C:\\PROD\\A.DLL to C:\\PROD\\B.DLL\n"
            "  delete  C:\\PROD\\SAME.DLL\n");
}

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
