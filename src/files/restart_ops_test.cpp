#include "files/restart_ops.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/error.h"
#include "platform/testing/memory_platform.h"
#include "platform/testing/recording.h"
#include "platform/testing/test_platform.h"

namespace zv {
namespace {

using Ops = std::vector<std::string>;

// Records delayed moves as "source -> destination" (or "-> NUL"), passing
// them on only when told to; refuses the move of `refused`.
class MoveRecorder : public PlatformWrapper {
 public:
  using PlatformWrapper::PlatformWrapper;
  bool moveAtRestart(const std::string& source, const std::string* destination) override {
    if (source == refused) return false;
    moves.push_back(source + " -> " + (destination ? *destination : "NUL"));
    return !passThrough || target().moveAtRestart(source, destination);
  }
  std::unique_ptr<File> open(const std::string& path, FileMode mode) override {
    return path == unreadable ? nullptr : target().open(path, mode);
  }
  Ops moves;
  std::string refused, unreadable;
  bool passThrough = false;
};

// On the in-memory machine, but for the test of what the simulated machine
// itself keeps.
template <typename TP>
class RestartOpsFixture : public ::testing::Test {
 protected:
  RestartOpsFixture() : recorder_(tp_.platform()) {
    previous_ = Platform::setCurrent(&recorder_);
    config_.setWindowsDir(tp_.scratchDir());
    config_.setOsClass(OsClass::kNt);
  }
  ~RestartOpsFixture() override { Platform::setCurrent(previous_); }

  std::string path(const std::string& name) const { return tp_.scratchDir() + "\\" + name; }
  void touch(const std::string& name, const std::string& bytes = "") {
    std::unique_ptr<File> f = tp_.platform().open(path(name), FileMode::kWrite);
    ASSERT_TRUE(f) << name;
    f->write(bytes.data(), bytes.size());
  }
  std::string wininit() {
    std::unique_ptr<File> f = tp_.platform().open(path("WININIT.INI"), FileMode::kRead);
    std::string bytes;
    char buffer[512];
    for (int64_t n; f && (n = f->read(buffer, sizeof buffer)) > 0;) bytes.append(buffer, n);
    return bytes;
  }
  // What was recorded, as moves, whichever way the OS class records it;
  // names inside the scratch directory lose their directory.
  Ops recorded() {
    Ops ops;
    if (config_.osClass() != OsClass::kWindows9x) {
      ops = recorder_.moves;
    } else {
      std::string text = wininit();
      EXPECT_EQ(text.compare(0, 10, "[rename]\r\n"), 0) << text;
      for (size_t at = 10, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2) {
        std::string line = text.substr(at, end - at);
        size_t eq = line.find('=');
        ops.push_back(line.substr(eq + 1) + " -> " + line.substr(0, eq));
      }
    }
    const std::string prefix = tp_.scratchDir() + "\\";
    for (std::string& op : ops) {
      for (size_t at; (at = op.find(prefix)) != std::string::npos;) op.erase(at, prefix.size());
      // A backup copy's name: "ZB", a letter and five digits.
      if (op.compare(0, 2, "ZB") == 0) op.replace(2, 6, "*");
    }
    return ops;
  }

  TP tp_;
  MoveRecorder recorder_;
  Platform* previous_;
  ConfigData config_;
};

using RestartOpsTest = RestartOpsFixture<MemoryTestPlatform>;

class RestartOpsByClassTest : public RestartOpsTest, public ::testing::WithParamInterface<int> {};

// 1: WININIT.INI, 2: NT delayed moves, 4: another family, delayed moves too.
INSTANTIATE_TEST_SUITE_P(RestartOps, RestartOpsByClassTest, ::testing::Values(1, 2, 4),
                         [](const ::testing::TestParamInfo<int>& param) {
                           return "OsClass" + std::to_string(param.param);
                         });

// WININIT.INI is written once per file: its lines follow the order of
// operations as they are. Delayed moves are recorded one call at a time:
// there a deletion before a move that replaces is left out, and a backup
// is a copy made now, so that no moment between two calls leaves a file
// moved away for good.
TEST_P(RestartOpsByClassTest, RemoveFirstDeletesAnExistingDestinationBeforeTheMove) {
  config_.setOsClass(static_cast<OsClass>(GetParam()));
  touch("B.DLL");
  renameFile(path("A.DLL"), path("B.DLL"), config_, 1, 0);
  renameFile(path("C.DLL"), path("D.DLL"), config_, 1, 0);  // D.DLL is missing
  EXPECT_EQ(recorded(), (GetParam() == 1 ? Ops{"B.DLL -> NUL", "A.DLL -> B.DLL", "C.DLL -> D.DLL"}
                                         : Ops{"A.DLL -> B.DLL", "C.DLL -> D.DLL"}));
  EXPECT_TRUE(config_.replacePending());
}

TEST_P(RestartOpsByClassTest, BackupFirstKeepsTheDestinationAsItsOldCopy) {
  config_.setOsClass(static_cast<OsClass>(GetParam()));
  touch("B.DLL", "b");
  touch("B.OLD");
  renameFile(path("A.DLL"), path("B.DLL"), config_, 1, 1);
  tp_.platform().deleteFile(path("B.OLD"));
  renameFile(path("A.DLL"), path("B.DLL"), config_, 0, 1);
  if (GetParam() == 1) {
    EXPECT_EQ(recorded(), (Ops{"B.OLD -> NUL", "B.DLL -> B.OLD", "A.DLL -> B.DLL",  //
                               "B.DLL -> B.OLD", "A.DLL -> B.DLL"}));
    return;
  }
  EXPECT_EQ(recorded(), (Ops{"ZB* -> B.OLD", "A.DLL -> B.DLL", "ZB* -> B.OLD", "A.DLL -> B.DLL"}));
  std::string copy = recorder_.moves[0].substr(0, recorder_.moves[0].find(' '));
  std::unique_ptr<File> f = tp_.platform().open(copy, FileMode::kRead);
  char byte = 0;
  ASSERT_TRUE(f && f->read(&byte, 1) == 1);
  EXPECT_EQ(byte, 'b') << "the backup copy holds the file";
}

TEST_P(RestartOpsByClassTest, EraseDeletesWithoutBackupAndRenamesToOldWithIt) {
  config_.setOsClass(static_cast<OsClass>(GetParam()));
  touch("A.DLL");
  touch("A.OLD");
  touch("README");
  eraseFile(path("A.DLL"), config_, 0);
  EXPECT_TRUE(config_.replacePending());
  eraseFile(path("A.DLL"), config_, 1);
  eraseFileIn(tp_.scratchDir(), "README", config_, 1);
  EXPECT_EQ(recorded(),
            (GetParam() == 1
                 ? Ops{"A.DLL -> NUL", "A.OLD -> NUL", "A.DLL -> A.OLD", "README -> README.OLD"}
                 : Ops{"A.DLL -> NUL", "A.DLL -> A.OLD", "README -> README.OLD"}));
}

TEST_P(RestartOpsByClassTest, EraseOfAMissingFileRecordsNothing) {
  config_.setOsClass(static_cast<OsClass>(GetParam()));
  eraseFile(path("GONE.DLL"), config_, 0);
  eraseFile(path("GONE.DLL"), config_, 1);
  EXPECT_TRUE(recorder_.moves.empty());
  EXPECT_FALSE(tp_.platform().exists(path("WININIT.INI")));
  EXPECT_FALSE(config_.replacePending());
}

TEST_F(RestartOpsTest, WininitGetsWholeProfileLinesInCallOrder) {
  config_.setOsClass(OsClass::kWindows9x);
  touch("A.DLL");
  scheduleReplace("C:\\T\\ZVa00001", "C:\\P\\A.DLL", config_);
  scheduleReplace("C:\\T\\ZVa00001", "C:\\P\\A.DLL", config_);  // kept twice
  eraseFile(path("A.DLL"), config_, 0);
  // Two 200-character paths (of short names, as WININIT.INI wants them)
  // make one line longer than the profile's 256.
  std::string deep;
  for (int i = 0; i < 21; ++i) deep += "DIRECTRY\\";
  std::string from = "C:\\" + deep + "SOURCE.DLL", to = "C:\\" + deep + "TARGET.DLL";
  ASSERT_EQ(from.size(), 202u);
  renameFile(from, to, config_, 0, 0);
  EXPECT_EQ(wininit(),
            "[rename]\r\n"
            "C:\\P\\A.DLL=C:\\T\\ZVa00001\r\n"
            "C:\\P\\A.DLL=C:\\T\\ZVa00001\r\n"
            "NUL=" +
                path("A.DLL") + "\r\n" + to + "=" + from + "\r\n\x1A");
  EXPECT_TRUE(recorder_.moves.empty());
}

TEST_F(RestartOpsTest, NtDeletionHasNoDestinationAndTracesNull) {
  config_.setDebug(1);
  touch("A.DLL");
  RecordingTrace trace;
  eraseFile(path("A.DLL"), config_, 0);
  EXPECT_EQ(recorder_.moves, Ops{path("A.DLL") + " -> NUL"});
  EXPECT_EQ(trace.lines, (std::vector<std::string>{"          Lock Src  : " + path("A.DLL") + "\n",
                                                   "          Lock Dest : NULL\n"}));
}

// A file that cannot be read is backed up by moving it; when the move that
// was to replace it is refused, it is moved back.
TEST_F(RestartOpsTest, RefusedDelayedMoveRaises29AndMovesBackWhatWasMovedAway) {
  touch("B.DLL");
  recorder_.unreadable = path("B.DLL");
  recorder_.refused = path("A.DLL");
  try {
    renameFile(path("A.DLL"), path("B.DLL"), config_, 0, 1);
    FAIL() << "no Error";
  } catch (const Error& e) {
    EXPECT_EQ(e.code, 29);
    EXPECT_EQ(e.message, path("A.DLL"));
    EXPECT_EQ(e.file, kUnitFiles);
  }
  EXPECT_EQ(recorded(), (Ops{"B.DLL -> B.OLD", "B.OLD -> B.DLL"}));
}

// Windows 95/98/Me read WININIT.INI by short names: long folders are given
// by their short names; a file with a long name, or a long name to come,
// cannot be replaced there and is refused with nothing recorded.
TEST_F(RestartOpsTest, WininitNamesLongFoldersByShortNamesAndRefusesLongFileNames) {
  config_.setOsClass(OsClass::kWindows9x);
  ASSERT_TRUE(tp_.platform().createDir(path("Program Files")));
  touch("Program Files\\A.DLL");
  touch("Program Files\\Long Name.dll");
  std::string dir, file;
  ASSERT_TRUE(tp_.platform().shortPath(path("Program Files"), &dir));
  ASSERT_TRUE(tp_.platform().shortPath(path("Program Files\\Long Name.dll"), &file));
  EXPECT_NE(dir, path("Program Files"));
  renameFile(path("S.NEW"), path("Program Files\\A.DLL"), config_, 0, 1);
  eraseFile(path("Program Files\\Long Name.dll"), config_, 0);
  const std::string before = wininit();
  EXPECT_EQ(before, "[rename]\r\n" + dir + "\\A.OLD=" + dir + "\\A.DLL\r\n" + dir +
                        "\\A.DLL=" + path("S.NEW") + "\r\nNUL=" + file + "\r\n\x1A");
  for (const auto& refused : std::vector<std::function<void()>>{
           [&] { renameFile(path("S.NEW"), path("Program Files\\Long Name.dll"), config_, 0, 0); },
           [&] { renameFile(path("S.NEW"), path("Program Files\\New Name.dll"), config_, 0, 0); },
           [&] { eraseFile(path("Program Files\\Long Name.dll"), config_, 1); }}) {
    try {
      refused();
      ADD_FAILURE() << "no Error";
    } catch (const Error& e) {
      EXPECT_EQ(e.code, 29);
      EXPECT_NE(e.message.find("long name"), std::string::npos) << e.message;
    }
  }
  EXPECT_EQ(wininit(), before) << "nothing recorded for a refused entry";
}

#ifndef _WIN32
using SimulatedRestartOpsTest = RestartOpsFixture<TestPlatform>;

// The simulated machine keeps delayed moves as the NT family does.
TEST_F(SimulatedRestartOpsTest, SimulatedMachineKeepsTheMovesInNtForm) {
  recorder_.passThrough = true;
  touch("A.OLD");
  renameFile("C:\\W\\ZVa00001", "C:\\P\\A.DLL", config_, 0, 0);
  eraseFile(path("A.OLD"), config_, 0);
  RegKey key;
  ASSERT_EQ(Platform::current().regOpenKey(kHkeyLocalMachine,
                                           "SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                                           RegAccess::kRead, &key),
            kErrorSuccess);
  char data[512];
  uint32_t type = 0, size = sizeof data;
  ASSERT_EQ(
      Platform::current().regQueryValue(key, "PendingFileRenameOperations", &type, data, &size),
      kErrorSuccess);
  Platform::current().regCloseKey(key);
  EXPECT_EQ(type, kRegMultiSz);
  const char nul = '\0';
  const std::string expected = "\\??\\C:\\W\\ZVa00001" + std::string(1, nul) +
                               "!\\??\\C:\\P\\A.DLL" + nul + "\\??\\" + path("A.OLD") + nul + nul +
                               nul;
  EXPECT_EQ(std::string(data, size), expected);
}
#endif

}  // namespace
}  // namespace zv
