#include "simulator/simulated_machine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "simulator/machine_dirs_testing.h"
#include "simulator/posix_file.h"

namespace zv {
namespace {

class SimulatedMachineTest : public MachineDirsTest {
 protected:
  void SetUp() override {
    MachineDirsTest::SetUp();
    dir_ = top_ + "/pc";
  }

  std::unique_ptr<SimulatedMachine> open() {
    std::string error;
    std::unique_ptr<SimulatedMachine> m = SimulatedMachine::openMachine(dir_, &error);
    EXPECT_TRUE(m) << error;
    return m;
  }
  std::string file(const std::string& name) {
    std::string text;
    return readHostFile(dir_ + "/" + name, &text) ? text : "<missing>";
  }
  void put(const std::string& name, const std::string& text) {
    std::string error;
    ASSERT_TRUE(writeHostFileWhole(dir_ + "/" + name, text, &error)) << error;
  }
  std::string multiString(SimulatedMachine& m, const std::string& path, const std::string& name) {
    RegKey key;
    if (m.regOpenKey(kHkeyLocalMachine, path, RegAccess::kRead, &key) != kErrorSuccess) return "";
    char data[1024];
    uint32_t type = 0, size = sizeof data;
    long r = m.regQueryValue(key, name, &type, data, &size);
    m.regCloseKey(key);
    EXPECT_EQ(type, kRegMultiSz);
    return r == kErrorSuccess ? std::string(data, size) : "";
  }

  std::string dir_;
};

TEST_F(SimulatedMachineTest, ANewMachineIsAFreshWindows98) {
  std::unique_ptr<SimulatedMachine> m = open();
  ASSERT_TRUE(m);
  EXPECT_EQ(file("registry.reg"), "REGEDIT4\r\n\r\n");
  EXPECT_NE(file("machine.ini").find("Version=win98\r\n"), std::string::npos);
  EXPECT_TRUE(std::filesystem::is_directory(dir_ + "/drive_c/WINDOWS"));
  std::string windows;
  ASSERT_TRUE(m->windowsDirectory(&windows));
  EXPECT_EQ(windows, "C:\\WINDOWS");
  VersionInfo v;
  ASSERT_TRUE(m->getVersion(&v));
  EXPECT_EQ(v.platformId, 1u);
  EXPECT_EQ(v.minor, 10u);
  EXPECT_TRUE(m->exists("c:\\windows"));
}

TEST_F(SimulatedMachineTest, DirectoriesListInNameOrderWhateverTheHostsOrder) {
  std::unique_ptr<SimulatedMachine> m = open();
  ASSERT_TRUE(m);
  std::filesystem::create_directories(dir_ + "/drive_c/D");
  for (const char* name : {"b.txt", "C", "a.TXT", "B2", "_x"}) {
    put(std::string("drive_c/D/") + name, "");
  }
  std::vector<DirEntry> entries;
  ASSERT_TRUE(m->listDir("C:\\D", &entries));
  std::string names;
  for (const DirEntry& e : entries) names += e.name + " ";
  EXPECT_EQ(names, "a.TXT b.txt B2 C _x ");
}

TEST_F(SimulatedMachineTest, TheRegistryIsWrittenBackWholeAfterEveryChange) {
  {
    std::unique_ptr<SimulatedMachine> m = open();
    RegKey key;
    ASSERT_EQ(m->regCreateKey(kHkeyLocalMachine, "SOFTWARE\\QEL\\RUZEVU\\ZEVRA.INI\\Zevra", &key),
              kErrorSuccess);
    ASSERT_EQ(m->regSetString(key, "root", "C:\\Program Files\\Zevra"), kErrorSuccess);
    m->regCloseKey(key);
    EXPECT_NE(file("registry.reg").find("\"root\"=\"C:\\\\Program Files\\\\Zevra\"\r\n"),
              std::string::npos)
        << file("registry.reg");
    EXPECT_FALSE(std::filesystem::exists(dir_ + "/registry.reg.new"));
  }
  std::unique_ptr<SimulatedMachine> m = open();
  RegKey key;
  ASSERT_EQ(m->regOpenKey(kHkeyLocalMachine, "software\\qel\\ruzevu\\zevra.ini\\ZEVRA",
                          RegAccess::kRead, &key),
            kErrorSuccess);
  char data[64];
  uint32_t type, size = sizeof data;
  ASSERT_EQ(m->regQueryValue(key, "ROOT", &type, data, &size), kErrorSuccess);
  EXPECT_STREQ(data, "C:\\Program Files\\Zevra");
}

TEST_F(SimulatedMachineTest, MalformedMachineFilesAreNamedAndLeftAsTheyWere) {
  ASSERT_TRUE(open());
  const std::string badRegistry = "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"x\"=\"open\r\n";
  put("registry.reg", badRegistry);
  std::string error;
  EXPECT_FALSE(SimulatedMachine::openMachine(dir_, &error));
  EXPECT_EQ(error.rfind(dir_ + "/registry.reg:4: ", 0), 0u) << error;
  EXPECT_EQ(file("registry.reg"), badRegistry);

  put("registry.reg", "REGEDIT4\r\n");
  const std::string badIni = "[Machine]\r\nVersion=win3.1\r\n";
  put("machine.ini", badIni);
  EXPECT_FALSE(SimulatedMachine::openMachine(dir_, &error));
  EXPECT_EQ(error.rfind(dir_ + "/machine.ini:2: unknown Version", 0), 0u) << error;
  EXPECT_EQ(file("machine.ini"), badIni);
}

TEST_F(SimulatedMachineTest, DelayedMovesAreRecordedInOrderAsNtKeepsThem) {
  std::unique_ptr<SimulatedMachine> m = open();
  std::string dest = "C:\\PROD\\A.DLL", old = "C:\\PROD\\A.OLD";
  ASSERT_TRUE(m->moveAtRestart("C:\\PROD\\A.OLD", nullptr));
  ASSERT_TRUE(m->moveAtRestart("C:\\PROD\\A.DLL", &old));
  ASSERT_TRUE(m->moveAtRestart("C:\\PROD\\ARCHIVE\\TEMP\\ZVa01234", &dest));
  const char expected[] =
      "\\??\\C:\\PROD\\A.OLD\0\0"
      "\\??\\C:\\PROD\\A.DLL\0!\\??\\C:\\PROD\\A.OLD\0"
      "\\??\\C:\\PROD\\ARCHIVE\\TEMP\\ZVa01234\0!\\??\\C:\\PROD\\A.DLL\0\0";
  EXPECT_EQ(multiString(*m, "SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                        "PendingFileRenameOperations"),
            std::string(expected, sizeof expected - 1));
  EXPECT_NE(file("registry.reg").find("\"PendingFileRenameOperations\"=hex(7):5c,3f,3f,5c,43,3a"),
            std::string::npos)
      << file("registry.reg");
}

TEST_F(SimulatedMachineTest, ScreenAnswersAndEventsLog) {
  std::unique_ptr<SimulatedMachine> m = open();
  std::ostringstream out, err;
  std::istringstream in;
  m->setScreenStreams(out, err, in, " YES,no, ok ,close", false);
  ASSERT_TRUE(m->createLogWindow(1));
  m->entryAppended("\nCompressing A.TXT...\n");
  EXPECT_EQ(out.str(), "\nCompressing A.TXT...\n") << "standard output carries entries only";

  EXPECT_EQ(m->messageBox("Install?", "Patch", kMbYesNo), kIdYes);
  EXPECT_EQ(m->messageBox("Restart\nnow?", "Restart", kMbYesNo), kIdNo);
  EXPECT_EQ(m->messageBox("Done", "Patch", kMbOk), kIdOk);
  EXPECT_EQ(m->messageBox("Tab\there \\", "Q", kMbYesNo), 0) << "closed instead of answered";
  EXPECT_TRUE(m->logWindowClosed());
  EXPECT_FALSE(m->pump());
  // No answers left: OK boxes are acknowledged and questions answered No.
  EXPECT_EQ(m->messageBox("More?", "Q", kMbYesNo), kIdNo);
  EXPECT_EQ(m->messageBox("Note", "Q", kMbOk), kIdOk);
  EXPECT_NE(err.str().find("Restart"), std::string::npos);

  m->enableShutdownPrivilege();
  EXPECT_TRUE(m->restartWindows());
  EXPECT_TRUE(m->restartRequested());
  EXPECT_EQ(m->messageLoop(), 0);
  EXPECT_EQ(file("events.log"),
            "box\tMB_YESNO\tPatch\tInstall?\tYES\n"
            "box\tMB_YESNO\tRestart\tRestart\\nnow?\tNO\n"
            "box\tMB_OK\tPatch\tDone\tOK\n"
            "box\tMB_YESNO\tQ\tTab\\there \\\\\tCLOSE\n"
            "window\tclosed-by-user\n"
            "box\tMB_YESNO\tQ\tMore?\tNO\n"
            "box\tMB_OK\tQ\tNote\tOK\n"
            "restart\tEWX_REBOOT\tprivilege\n");
}

TEST_F(SimulatedMachineTest, TheWindowClosesByProgramOrByUser) {
  std::unique_ptr<SimulatedMachine> m = open();
  std::ostringstream out, err;
  std::istringstream in("\n");
  m->setScreenStreams(out, err, in, "close", false);
  EXPECT_FALSE(m->pump()) << "'close' is taken at the next pump";
  EXPECT_EQ(m->messageLoop(), 0);

  m->setScreenStreams(out, err, in, "", false);
  m->closeLogWindow();
  EXPECT_EQ(m->messageLoop(), 0);

  m->setScreenStreams(out, err, in, "", true);
  EXPECT_FALSE(m->restartWindows() && false);
  EXPECT_EQ(m->messageLoop(), 0);  // Enter on the terminal
  EXPECT_EQ(file("events.log"),
            "window\tclosed-by-user\n"
            "window\tclosed-by-program\n"
            "restart\tEWX_REBOOT\tno-privilege\n"
            "window\tclosed-by-user\n");
}

// Windows 95/98/Me: long names get short aliases when they are made, kept in
// short-names; a machine made by hand gets them in name order on first use.
// Lookups and GetShortPathName take them; NT machines have none.
// Folders are read once; every change made through the machine is seen by
// the lookups in any case that follow.
TEST_F(SimulatedMachineTest, NamesChangedThroughTheMachineAreFoundInAnyCase) {
  std::filesystem::create_directories(dir_ + "/drive_c/DIR");
  put("machine.ini", "[Machine]\r\nVersion=nt40\r\n");
  put("drive_c/DIR/Old.txt", "x");
  std::unique_ptr<SimulatedMachine> m = open();
  EXPECT_TRUE(m->exists("c:\\dir\\OLD.TXT"));
  EXPECT_FALSE(m->exists("c:\\dir\\NEW.TXT"));
  ASSERT_TRUE(m->open("C:\\DIR\\New.Txt", FileMode::kWrite));
  EXPECT_TRUE(m->exists("c:\\dir\\NEW.TXT"));
  EXPECT_TRUE(m->renameReplacing("c:\\dir\\new.txt", "C:\\DIR\\Moved.Txt"));
  EXPECT_TRUE(m->renameNoReplace("c:\\dir\\moved.txt", "C:\\DIR\\Kept.Txt"));
  EXPECT_TRUE(m->exists("c:\\dir\\KEPT.TXT"));
  EXPECT_FALSE(m->exists("c:\\dir\\MOVED.TXT"));
  EXPECT_TRUE(m->deleteFile("C:\\DIR\\OLD.TXT"));
  EXPECT_FALSE(m->exists("c:\\dir\\old.txt"));
  EXPECT_TRUE(m->createDir("C:\\DIR\\Sub"));
  EXPECT_TRUE(m->exists("c:\\dir\\SUB"));
  EXPECT_TRUE(m->open("C:\\DIR\\SUB\\A.txt", FileMode::kWrite));
  EXPECT_TRUE(m->renameReplacing("C:\\DIR\\Sub", "C:\\DIR\\Gone"));
  EXPECT_TRUE(m->exists("c:\\dir\\gone\\a.TXT"));
  EXPECT_FALSE(m->exists("c:\\dir\\sub\\a.TXT"));
}

TEST_F(SimulatedMachineTest, LongNamesHaveStableShortAliasesOnWindows98) {
  std::filesystem::create_directories(dir_ + "/drive_c/Old Stuff/Program Files 2");
  put("machine.ini", "[Machine]\r\nVersion=win98\r\n");
  put("drive_c/Old Stuff/Program Files 1", "made by hand");
  {
    std::unique_ptr<SimulatedMachine> m = open();
    std::string form;
    ASSERT_TRUE(m->shortPath("C:\\Old Stuff\\Program Files 2", &form));
    EXPECT_EQ(form, "C:\\OLDSTU~1\\PROGRA~2") << "name order: Program Files 1 is ~1";
    EXPECT_TRUE(m->createDir("C:\\OLDSTU~1\\Program Files 3"));
    EXPECT_TRUE(m->open("C:\\OLDSTU~1\\readme.txt", FileMode::kWrite));
    ASSERT_TRUE(m->shortPath("C:\\Old Stuff\\Program Files 3", &form));
    EXPECT_EQ(form, "C:\\OLDSTU~1\\PROGRA~3");
    ASSERT_TRUE(m->shortPath("C:\\old stuff\\README.TXT", &form));
    EXPECT_EQ(form, "C:\\OLDSTU~1\\README.TXT");
    EXPECT_TRUE(m->exists("c:\\oldstu~1\\progra~1"));
    EXPECT_FALSE(m->shortPath("C:\\Old Stuff\\missing", &form));
    // A name that goes gives up its alias; the others keep theirs.
    EXPECT_TRUE(m->deleteFile("C:\\Old Stuff\\Program Files 1"));
    EXPECT_TRUE(m->open("C:\\Old Stuff\\Program Files 4", FileMode::kWrite));
    ASSERT_TRUE(m->shortPath("C:\\Old Stuff\\Program Files 4", &form));
    EXPECT_EQ(form, "C:\\OLDSTU~1\\PROGRA~1");
  }
  EXPECT_EQ(file("short-names"),
            "drive_c/Old Stuff\tOLDSTU~1\n"
            "drive_c/Old Stuff/Program Files 2\tPROGRA~2\n"
            "drive_c/Old Stuff/Program Files 3\tPROGRA~3\n"
            "drive_c/Old Stuff/Program Files 4\tPROGRA~1\n");
  put("short-names", "drive_c/X\tNOT A SHORT NAME\n");
  std::string error;
  EXPECT_FALSE(SimulatedMachine::openMachine(dir_, &error));
  EXPECT_EQ(error, dir_ + "/short-names:1: not PATH<TAB>SHORT NAME");
  put("short-names", "");
  put("machine.ini", "[Machine]\r\nVersion=nt40\r\n");
  std::unique_ptr<SimulatedMachine> nt = open();
  EXPECT_FALSE(nt->hasShortNames());
  EXPECT_FALSE(nt->exists("C:\\OLDSTU~1"));
}

}  // namespace
}  // namespace zv
