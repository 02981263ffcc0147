#include "files/file_replace.h"

#include <gtest/gtest.h>

#include "platform/testing/memory_platform.h"

namespace zv {
namespace {

using Lines = std::vector<std::string>;
using Fault = MemoryPlatform::Fault;

DosStamp dos(int year, int month, int day, int hour, int minute, int second) {
  return DosStamp{static_cast<uint16_t>(hour << 11 | minute << 5 | second / 2),
                  static_cast<uint16_t>((year - 1980) << 9 | month << 5 | day)};
}

const DosStamp kSourceStamp = dos(2001, 6, 15, 12, 0, 0);

class FileReplaceTest : public ::testing::Test {
 protected:
  FileReplaceTest() {
    for (const char* dir : {"SRC", "PROD", "WORK"}) mp().createDir(path(dir));
    config_.setWindowsDir(tp_.scratchDir());
    config_.setOsClass(OsClass::kNt);
    for (int i = 0; i < 9000; ++i) content_ += static_cast<char>(i * 7);  // more than a chunk
    write("SRC\\A.DLL", content_, kSourceStamp);
  }

  MemoryPlatform& mp() { return tp_.platform(); }
  std::string path(const std::string& name) const { return tp_.scratchDir() + "\\" + name; }
  void write(const std::string& name, const std::string& bytes, const DosStamp& stamp) {
    mp().write(path(name), bytes, &stamp);
  }
  std::string read(const std::string& name) { return mp().read(path(name)); }
  DosStamp stampOf(const std::string& name) {
    DosStamp stamp;
    EXPECT_TRUE(mp().open(path(name), FileMode::kRead)->getStamp(&stamp)) << name;
    return stamp;
  }
  int copy(int force, int backup, int compressed = 0, std::string* staged = nullptr) {
    return copyFile(path("SRC\\A.DLL"), path("PROD\\A.DLL"), path("WORK"), config_, force, backup,
                    compressed, staged);
  }
  // The delayed moves, without the scratch directory and the process id.
  Lines moves() {
    Lines out = mp().moves;
    for (std::string& move : out) {
      for (const std::string& s : {tp_.scratchDir() + "\\", std::string("04242")})
        for (size_t at; (at = move.find(s)) != std::string::npos;) move.erase(at, s.size());
    }
    return out;
  }
  MemoryTestPlatform tp_;
  ConfigData config_;
  std::string content_;
};

TEST_F(FileReplaceTest, ComparesReplacesAndSchedules) {
  enum Destination { kAbsent, kOlder, kSame, kNewer, kUnreadable };
  const DosStamp kept[] = {{},
                           dos(2001, 6, 15, 11, 0, 0),
                           kSourceStamp,
                           dos(2001, 6, 15, 13, 0, 0),
                           dos(2001, 6, 15, 11, 0, 0)};
  const struct Case {
    Destination destination;
    int force, backup, oldCopy;
    int result;
    // C: a copy of A.DLL made now to A.OLD, B: A.DLL itself to A.OLD, S: the
    // staged copy to A.DLL (delayed moves; WININIT.INI has its own test)
    std::string schedule;
  } cases[] = {
      {kAbsent, 0, 1, 0, 32, ""},       {kOlder, 0, 1, 0, 8, "CS"},     {kOlder, 0, 0, 0, 8, "S"},
      {kOlder, 0, 1, 1, 8, "CS"},       {kSame, 0, 1, 0, 2, ""},        {kNewer, 0, 1, 0, 4, ""},
      {kNewer, 1, 0, 0, 16, "S"},       {kNewer, 1, 1, 0, 16, "CS"},    {kSame, 1, 0, 0, 8, "S"},
      {kUnreadable, 0, 1, 0, 32, "BS"}, {kUnreadable, 0, 0, 0, 32, "S"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.destination) + " " + std::to_string(c.force) +
                 std::to_string(c.backup) + std::to_string(c.oldCopy));
    for (const char* name : {"PROD\\A.DLL", "PROD\\A.OLD", "PROD\\ZBa04242", "WORK\\ZVa04242"})
      mp().deleteFile(path(name));
    mp().moves.clear();
    config_.setReplacePending(0);
    if (c.destination != kAbsent) write("PROD\\A.DLL", "old", kept[c.destination]);
    if (c.oldCopy) write("PROD\\A.OLD", "older", kSourceStamp);
    if (c.destination == kUnreadable) mp().faults = {{Fault::kOpen, "PROD\\A.DLL"}};

    std::string staged;
    EXPECT_EQ(copy(c.force, c.backup, 0, &staged), c.result);
    mp().faults.clear();
    Lines expected;
    for (char op : c.schedule) {
      expected.push_back(op == 'C'   ? "PROD\\ZBa -> PROD\\A.OLD"
                         : op == 'B' ? "PROD\\A.DLL -> PROD\\A.OLD"
                                     : "WORK\\ZVa -> PROD\\A.DLL");
    }
    EXPECT_EQ(moves(), expected);
    EXPECT_EQ(config_.replacePending(), !expected.empty());
    // An existing destination is never written while the system runs.
    EXPECT_EQ(read("PROD\\A.DLL"), c.destination == kAbsent ? content_ : "old");
    if (c.destination == kAbsent) {
      EXPECT_EQ(stampOf("PROD\\A.DLL"), kSourceStamp);
    }
    if (c.schedule.find('C') != std::string::npos) {
      EXPECT_EQ(read("PROD\\ZBa04242"), "old");
      EXPECT_EQ(stampOf("PROD\\ZBa04242"), kept[c.destination]);
    }
    const bool isStaged = c.schedule.find('S') != std::string::npos;
    EXPECT_EQ(read("WORK\\ZVa04242"), isStaged ? content_ : "<missing>");
    EXPECT_EQ(staged, isStaged ? path("WORK\\ZVa04242") : "");
    if (isStaged) {
      EXPECT_EQ(stampOf("WORK\\ZVa04242"), kSourceStamp);
    }
  }
}

}  // namespace
}  // namespace zv
