#include "simulator/machine_boot.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <vector>

#include "simulator/machine_dirs_testing.h"
#include "simulator/posix_file.h"

namespace zv {
namespace {

const char kSessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";

class MachineBootTest : public MachineDirsTest {
 protected:
  void SetUp() override {
    MachineDirsTest::SetUp();
    open();
  }
  void TearDown() override {
    machine_.reset();
    MachineDirsTest::TearDown();
  }
  void open() {
    machine_.reset();  // one run at a time: the old one lets go first
    std::string error;
    machine_ = SimulatedMachine::openMachine(top_ + "/pc", &error);
    ASSERT_TRUE(machine_) << error;
  }
  // Files in the Windows directory.
  static std::string win(const std::string& name) { return "C:\\WINDOWS\\" + name; }
  void put(const std::string& name, const std::string& text) {
    std::unique_ptr<File> f = machine_->open(win(name), FileMode::kWrite);
    ASSERT_TRUE(f);
    f->write(text.data(), text.size());
  }
  std::string read(const std::string& name) {
    std::string text;
    return readHostFile(machine_->hostPath(win(name)), &text) ? text : "<missing>";
  }
  // The delayed moves as the system keeps them, written straight into the
  // machine's registry file.
  void pendingMoves(const std::vector<std::string>& strings) {
    std::string data;
    for (const std::string& s : strings) data += s + '\0';
    data += '\0';
    std::string hex;
    for (unsigned char c : data) {
      char byte[4];
      std::snprintf(byte, sizeof byte, "%02x,", c);
      hex += byte;
    }
    hex.pop_back();
    machine_.reset();
    std::string error;
    ASSERT_TRUE(
        writeHostFileWhole(top_ + "/pc/registry.reg",
                           "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\" + std::string(kSessionManager) +
                               "]\r\n\"PendingFileRenameOperations\"=hex(7):" + hex + "\r\n\r\n",
                           &error))
        << error;
    open();
  }
  long pendingValue() {
    RegKey key;
    long r = machine_->regOpenKey(kHkeyLocalMachine, kSessionManager, RegAccess::kRead, &key);
    if (r != kErrorSuccess) return r;
    uint32_t type = 0, size = 0;
    r = machine_->regQueryValue(key, "PendingFileRenameOperations", &type, nullptr, &size);
    machine_->regCloseKey(key);
    return r;
  }
  // The number of lines not done; what was said goes to report_.
  int boot() {
    std::ostringstream out;
    int failed = bootMachine(*machine_, out);
    report_ = out.str();
    return failed;
  }

  std::string report_;
  std::unique_ptr<SimulatedMachine> machine_;
};

TEST_F(MachineBootTest, WininitLinesRunInFileOrderThenTheFileIsKeptAsBak) {
  put("GONE.TXT", "x");
  put("A.DLL", "old");
  put("A.NEW", "new");
  put("Y.TXT", "y");
  put("Z.TXT", "z");
  const std::string wininit =
      "[other]\r\nC:\\WINDOWS\\A.DLL=C:\\WINDOWS\\Z.TXT\r\n"
      "[Rename]\r\nNUL=C:\\WINDOWS\\GONE.TXT\r\nC:\\WINDOWS\\A.DLL=C:\\WINDOWS\\A.NEW\r\n"
      "C:\\WINDOWS\\X.TXT=C:\\WINDOWS\\Y.TXT\r\nC:\\WINDOWS\\Y.TXT=C:\\WINDOWS\\Z.TXT\r\n\x1A";
  put("WININIT.INI", wininit);
  EXPECT_EQ(boot(), 0);
  EXPECT_EQ(report_, R"(zvboot: WININIT.INI: deleted C:\WINDOWS\GONE.TXT
zvboot: WININIT.INI: moved C:\WINDOWS\A.NEW to C:\WINDOWS\A.DLL
zvboot: WININIT.INI: moved C:\WINDOWS\Y.TXT to C:\WINDOWS\X.TXT
zvboot: WININIT.INI: moved C:\WINDOWS\Z.TXT to C:\WINDOWS\Y.TXT
zvboot: C:\WINDOWS\WININIT.INI renamed to WININIT.BAK
)");
  EXPECT_EQ(read("GONE.TXT"), "<missing>");
  EXPECT_EQ(read("A.DLL"), "new");
  EXPECT_EQ(read("A.NEW"), "<missing>");
  EXPECT_EQ(read("X.TXT"), "y") << "in file order";
  EXPECT_EQ(read("Y.TXT"), "z");
  EXPECT_EQ(read("WININIT.INI"), "<missing>");
  EXPECT_EQ(read("WININIT.BAK"), wininit);
  EXPECT_EQ(boot(), 0);
  EXPECT_EQ(report_, "") << "nothing left for the next start";
}

TEST_F(MachineBootTest, DelayedMovesFollowWininitAndAreCleared) {
  put("P.NEW", "p");
  put("DEL.TXT", "d");
  put("WININIT.INI", "[rename]\r\nC:\\WINDOWS\\P.DLL=C:\\WINDOWS\\P.NEW\r\n");
  const std::string q = win("Q.DLL");
  ASSERT_TRUE(machine_->moveAtRestart(win("P.DLL"), &q));
  ASSERT_TRUE(machine_->moveAtRestart(win("DEL.TXT"), nullptr));
  EXPECT_EQ(boot(), 0);
  EXPECT_EQ(report_, R"(zvboot: WININIT.INI: moved C:\WINDOWS\P.NEW to C:\WINDOWS\P.DLL
zvboot: C:\WINDOWS\WININIT.INI renamed to WININIT.BAK
zvboot: delayed move: moved C:\WINDOWS\P.DLL to C:\WINDOWS\Q.DLL
zvboot: delayed move: deleted C:\WINDOWS\DEL.TXT
)");
  EXPECT_EQ(read("Q.DLL"), "p");
  EXPECT_EQ(read("P.DLL"), "<missing>");
  EXPECT_EQ(read("DEL.TXT"), "<missing>");
  EXPECT_EQ(pendingValue(), kErrorFileNotFound);
  EXPECT_EQ(boot(), 0);
  EXPECT_EQ(report_, "");
}

TEST_F(MachineBootTest, AFileALaterLineMovesIsNotDeleted) {
  put("T.TXT", "t");
  put("T2.TXT", "t2");
  put("WININIT.INI",
      "[rename]\r\nNUL=C:\\WINDOWS\\T.TXT\r\nC:\\WINDOWS\\U.TXT=C:\\WINDOWS\\T.TXT\r\n");
  const std::string u2 = win("U2.TXT");
  ASSERT_TRUE(machine_->moveAtRestart(win("T2.TXT"), nullptr));
  ASSERT_TRUE(machine_->moveAtRestart(win("T2.TXT"), &u2));
  EXPECT_EQ(boot(), 2);
  EXPECT_EQ(report_,
            R"(zvboot: FAILED: WININIT.INI: not deleting C:\WINDOWS\T.TXT: a later line moves it
zvboot: WININIT.INI: moved C:\WINDOWS\T.TXT to C:\WINDOWS\U.TXT
zvboot: C:\WINDOWS\WININIT.INI renamed to WININIT.BAK
zvboot: FAILED: delayed move: not deleting C:\WINDOWS\T2.TXT: a later line moves it
zvboot: delayed move: moved C:\WINDOWS\T2.TXT to C:\WINDOWS\U2.TXT
)");
  EXPECT_EQ(read("U.TXT"), "t");
  EXPECT_EQ(read("U2.TXT"), "t2");
}

TEST_F(MachineBootTest, AFileWhoseMoveFailedIsNotOverwritten) {
  put("A.DLL", "old");
  put("A.NEW", "new");
  put("WININIT.INI",
      "[rename]\r\nC:\\NODIR\\A.OLD=C:\\WINDOWS\\A.DLL\r\nC:\\WINDOWS\\A.DLL=C:\\WINDOWS\\A.NEW\r\n"
      "NUL=C:\\WINDOWS\\MISSING.TXT\r\n");
  EXPECT_EQ(boot(), 2);
  EXPECT_EQ(
      report_,
      R"(zvboot: FAILED: WININIT.INI: cannot move C:\WINDOWS\A.DLL to C:\NODIR\A.OLD: No such file or directory
zvboot: FAILED: WININIT.INI: not moving C:\WINDOWS\A.NEW over C:\WINDOWS\A.DLL: moving that file away failed
zvboot: WININIT.INI: C:\WINDOWS\MISSING.TXT was already gone
zvboot: C:\WINDOWS\WININIT.INI renamed to WININIT.BAK
)") << "a failed line is reported and the rest still runs";
  EXPECT_EQ(read("A.DLL"), "old");
  EXPECT_EQ(read("A.NEW"), "new");
}

TEST_F(MachineBootTest, OnlyMarkedDelayedMovesReplaceAnExistingFile) {
  put("S.DLL", "kept");
  put("S.NEW", "s");
  put("R.NEW", "r");
  put("V.NEW", "v");
  pendingMoves({"\\??\\" + win("S.NEW"), "\\??\\" + win("S.DLL"),  // no "!": S.DLL exists
                "\\??\\" + win("R.NEW"), "!\\??\\" + win("S.NEW"), "\\??\\" + win("V.NEW"),
                "\\??\\" + win("V.DLL")});
  EXPECT_EQ(boot(), 2);
  EXPECT_EQ(report_,
            R"(zvboot: FAILED: delayed move: C:\WINDOWS\S.DLL exists; C:\WINDOWS\S.NEW not moved
zvboot: FAILED: delayed move: not moving C:\WINDOWS\R.NEW over C:\WINDOWS\S.NEW: moving that file away failed
zvboot: delayed move: moved C:\WINDOWS\V.NEW to C:\WINDOWS\V.DLL
)");
  EXPECT_EQ(read("S.DLL"), "kept");
  EXPECT_EQ(read("S.NEW"), "s");
  EXPECT_EQ(read("R.NEW"), "r");
  EXPECT_EQ(read("V.DLL"), "v");
  EXPECT_EQ(pendingValue(), kErrorFileNotFound);
}

// A start that could not record its work, or clear the delayed moves, says
// so and fails; run again, it finishes what is left and repeats nothing.
TEST_F(MachineBootTest, AStartThatCannotRecordItsWorkStopsAndTheNextOneRepeatsNothing) {
  const std::string progress = top_ + "/pc/" + kBootProgressFile;
  struct Case {
    const char* what;
    std::string blocked;  // made a directory, so that it cannot be written
    int failures;
    const char* report;
  };
  const Case cases[] = {
      {"registry.reg cannot be written", top_ + "/pc/registry.reg", 1,
       R"(zvboot: delayed move: deleted C:\WINDOWS\A.OLD
zvboot: delayed move: moved C:\WINDOWS\A.DLL to C:\WINDOWS\A.OLD
zvboot: delayed move: moved C:\WINDOWS\ZVa00001 to C:\WINDOWS\A.DLL
zvboot: FAILED: cannot clear the delayed moves in registry.reg; they stay for the next start, which will not repeat those done
)"},
      {"the record cannot be written", progress, 1,
       R"(zvboot: delayed move: deleted C:\WINDOWS\A.OLD
zvboot: FAILED: cannot record what was done (cannot write )"},
  };
  std::error_code ignored;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    put("A.DLL", "new A");  // what a first run of the package has put in place
    put("A.OLD", "old A");  // and the original, kept
    put("ZVa00001", "newer A");
    pendingMoves({"\\??\\" + win("A.OLD"), "", "\\??\\" + win("A.DLL"), "!\\??\\" + win("A.OLD"),
                  "\\??\\" + win("ZVa00001"), "!\\??\\" + win("A.DLL")});
    // A directory in the file's place: no rename can put a file there.
    std::string aside = c.blocked + ".aside";
    std::filesystem::rename(c.blocked, aside, ignored);
    std::filesystem::create_directory(c.blocked);
    EXPECT_EQ(boot(), c.failures);
    EXPECT_EQ(report_.substr(0, std::string(c.report).size()), c.report);
    std::filesystem::remove(c.blocked);
    std::filesystem::rename(aside, c.blocked, ignored);
    open();  // the next start is another process
    EXPECT_EQ(boot(), 0) << report_;
    EXPECT_EQ(read("A.DLL"), "newer A");
    EXPECT_EQ(read("A.OLD"), "new A") << "a move done before is not done again";
    EXPECT_EQ(pendingValue(), kErrorFileNotFound);
    EXPECT_FALSE(std::filesystem::exists(progress));
  }
}

// A start cut off after two lines (the record says so) does the third only.
TEST_F(MachineBootTest, AStartCutOffIsFinishedByTheNext) {
  put("A.DLL", "old");
  put("ZVa00001", "new");
  const std::string wininit =
      "[rename]\r\nNUL=C:\\WINDOWS\\A.OLD\r\nC:\\WINDOWS\\A.OLD=C:\\WINDOWS\\A.DLL\r\n"
      "C:\\WINDOWS\\A.DLL=C:\\WINDOWS\\ZVa00001\r\n";
  put("WININIT.INI", wininit);
  // What the cut-off start had done: nothing to delete, A.DLL moved away.
  std::rename(machine_->hostPath(win("A.DLL")).c_str(), machine_->hostPath(win("A.OLD")).c_str());
  std::string error;
  ASSERT_TRUE(writeHostFileWhole(top_ + "/pc/" + kBootProgressFile,
                                 "+\tWININIT.INI\tC:\\\\WINDOWS\\\\A.OLD\t\n"
                                 "+\tWININIT.INI\tC:\\\\WINDOWS\\\\A.DLL\tC:\\\\WINDOWS\\\\A.OLD\n",
                                 &error))
      << error;
  EXPECT_EQ(boot(), 0);
  EXPECT_EQ(report_, R"(zvboot: WININIT.INI: 2 line(s) were carried out by an earlier start
zvboot: WININIT.INI: moved C:\WINDOWS\ZVa00001 to C:\WINDOWS\A.DLL
zvboot: C:\WINDOWS\WININIT.INI renamed to WININIT.BAK
)");
  EXPECT_EQ(read("A.DLL"), "new");
  EXPECT_EQ(read("A.OLD"), "old");
  EXPECT_EQ(read("WININIT.BAK"), wininit);
}

// Windows 95/98/Me carry out WININIT.INI by short names: a line naming a
// long name is skipped; a file replaced through its alias keeps only that.
TEST_F(MachineBootTest, OnWindows98WininitGoesByShortNames) {
  put("Long File.dll", "old");
  put("NEW1.DLL", "new 1");
  put("NEW2.DLL", "new 2");
  put("WININIT.INI",
      "[rename]\r\nC:\\WINDOWS\\Long File.dll=C:\\WINDOWS\\NEW1.DLL\r\n"
      "C:\\WINDOWS\\LONGFI~1.DLL=C:\\WINDOWS\\NEW2.DLL\r\n");
  EXPECT_EQ(boot(), 1);
  EXPECT_EQ(
      report_,
      R"(zvboot: FAILED: WININIT.INI: skipped: long file name: C:\WINDOWS\Long File.dll=C:\WINDOWS\NEW1.DLL
zvboot: WININIT.INI: moved C:\WINDOWS\NEW2.DLL to C:\WINDOWS\LONGFI~1.DLL
zvboot: C:\WINDOWS\WININIT.INI renamed to WININIT.BAK
)");
  EXPECT_EQ(read("NEW1.DLL"), "new 1");
  EXPECT_EQ(read("LONGFI~1.DLL"), "new 2");
  EXPECT_FALSE(std::filesystem::exists(machine_->hostPath(win("NEW2.DLL"))));
  std::vector<DirEntry> names;
  machine_->listDir("C:\\WINDOWS", &names);
  for (const DirEntry& e : names) EXPECT_NE(e.name, "Long File.dll") << "the long name is gone";
}

}  // namespace
}  // namespace zv
