#include "files/restart_ops.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "base/error.h"
#include "platform/testing/memory_platform.h"
#include "platform/testing/recording.h"

namespace zv {
namespace {

using Ops = std::vector<std::string>;
using Fault = MemoryPlatform::Fault;

class RestartOpsTest : public ::testing::Test {
 public:
  RestartOpsTest() { config_.setWindowsDir(tp_.scratchDir()); }

  MemoryPlatform& mp() { return tp_.platform(); }
  std::string path(const std::string& name) const { return tp_.scratchDir() + "\\" + name; }
  void touch(const std::string& name, const std::string& bytes = "") {
    mp().write(path(name), bytes);
  }
  std::string wininit() { return mp().read(path("WININIT.INI")); }
  // What was recorded, as moves, whichever way the OS class records it;
  // names inside the scratch directory lose their directory.
  Ops recorded() {
    Ops ops = mp().moves;
    if (config_.osClass() == OsClass::kWindows9x) {
      const std::string text = wininit();
      EXPECT_EQ(text.compare(0, 10, "[rename]\r\n"), 0) << text;
      for (size_t at = 10, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2) {
        const std::string line = text.substr(at, end - at);
        ops.push_back(line.substr(line.find('=') + 1) + " -> " + line.substr(0, line.find('=')));
      }
    }
    for (std::string& op : ops) {
      for (size_t at; (at = op.find(tp_.scratchDir() + "\\")) != std::string::npos;)
        op.erase(at, tp_.scratchDir().size() + 1);
      // A backup copy's name: "ZB", a letter and five digits.
      if (op.compare(0, 2, "ZB") == 0) op.replace(2, 6, "*");
    }
    return ops;
  }

  MemoryTestPlatform tp_;
  ConfigData config_;
};

// WININIT.INI (class 1) is written once per file: its lines follow the
// order of operations as they are. Delayed moves (NT, 2, and any other
// family) are recorded one call at a time: there a deletion before a move
// that replaces is left out, and a backup is a copy made now, so that no
// moment between two calls leaves a file moved away for good.
TEST_F(RestartOpsTest, EachOsFamilyRecordsTheOperationsInItsOwnWay) {
  const struct Case {
    std::function<void(RestartOpsTest&)> run;
    Ops wininit, moves;
  } cases[] = {
      {[](RestartOpsTest& t) {
         t.touch("B.DLL");
         renameFile(t.path("A.DLL"), t.path("B.DLL"), t.config_, 1, 0);
         renameFile(t.path("C.DLL"), t.path("D.DLL"), t.config_, 1, 0);  // D.DLL is missing
       },
       {"B.DLL -> NUL", "A.DLL -> B.DLL", "C.DLL -> D.DLL"},
       {"A.DLL -> B.DLL", "C.DLL -> D.DLL"}},
      {[](RestartOpsTest& t) {
         t.touch("B.DLL", "b");
         t.touch("B.OLD");
         renameFile(t.path("A.DLL"), t.path("B.DLL"), t.config_, 1, 1);
         t.mp().deleteFile(t.path("B.OLD"));
         renameFile(t.path("A.DLL"), t.path("B.DLL"), t.config_, 0, 1);
       },
       {"B.OLD -> NUL", "B.DLL -> B.OLD", "A.DLL -> B.DLL", "B.DLL -> B.OLD", "A.DLL -> B.DLL"},
       {"ZB* -> B.OLD", "A.DLL -> B.DLL", "ZB* -> B.OLD", "A.DLL -> B.DLL"}},
      {[](RestartOpsTest& t) {
         t.touch("A.DLL");
         t.touch("A.OLD");
         t.touch("README");
         eraseFile(t.path("A.DLL"), t.config_, 0);
         eraseFile(t.path("A.DLL"), t.config_, 1);
         eraseFileIn(t.tp_.scratchDir(), "README", t.config_, 1);
         eraseFile(t.path("GONE.DLL"), t.config_, 0);  // a missing file is left alone
         eraseFile(t.path("GONE.DLL"), t.config_, 1);
       },
       {"A.DLL -> NUL", "A.OLD -> NUL", "A.DLL -> A.OLD", "README -> README.OLD"},
       {"A.DLL -> NUL", "A.DLL -> A.OLD", "README -> README.OLD"}},
      {[](RestartOpsTest& t) { eraseFile(t.path("GONE.DLL"), t.config_, 1); }, {}, {}},
  };
  for (int osClass : {1, 2, 4}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(osClass);
      config_.setOsClass(static_cast<OsClass>(osClass));
      config_.setReplacePending(0);
      c.run(*this);
      const Ops& expected = osClass == 1 ? c.wininit : c.moves;
      if (expected.empty()) {
        EXPECT_TRUE(mp().moves.empty());
        EXPECT_FALSE(mp().exists(path("WININIT.INI")));
      } else {
        EXPECT_EQ(recorded(), expected);
      }
      EXPECT_EQ(config_.replacePending(), !expected.empty());
      std::vector<DirEntry> entries;
      mp().listDir(tp_.scratchDir(), &entries);
      for (const DirEntry& e : entries) {
        // The backup copies hold the file as it was.
        EXPECT_TRUE(e.name.compare(0, 2, "ZB") != 0 || mp().read(path(e.name)) == "b") << e.name;
        mp().deleteFile(path(e.name));
      }
      mp().moves.clear();
    }
  }
}

// A file that cannot be read is backed up by moving it; when the move that
// was to replace it is refused, it is moved back.
TEST_F(RestartOpsTest, RefusedDelayedMoveRaises29AndMovesBackWhatWasMovedAway) {
  config_.setOsClass(OsClass::kNt);
  config_.setDebug(1);
  touch("A.DLL");
  touch("B.DLL");
  RecordingTrace trace;
  eraseFile(path("A.DLL"), config_, 0);
  EXPECT_EQ(trace.lines,
            (Ops{"          Lock Src  : " + path("A.DLL") + "\n", "          Lock Dest : NULL\n"}));
  mp().faults = {{Fault::kOpen, "B.DLL"}, {Fault::kMove, "A.DLL"}};
  try {
    renameFile(path("A.DLL"), path("B.DLL"), config_, 0, 1);
    FAIL() << "no Error";
  } catch (const Error& e) {
    EXPECT_EQ(std::to_string(e.code) + " " + e.message + " " + e.file,
              "29 " + path("A.DLL") + " zvpfile.cpp");
  }
  EXPECT_EQ(recorded(), (Ops{"A.DLL -> NUL", "B.DLL -> B.OLD", "B.OLD -> B.DLL"}));
}

}  // namespace
}  // namespace zv
