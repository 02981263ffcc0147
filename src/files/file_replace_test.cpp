#include "files/file_replace.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <thread>

#include "base/error.h"
#include "platform/testing/memory_platform.h"
#include "platform/testing/recording.h"

namespace zv {
namespace {

using Lines = std::vector<std::string>;

DosStamp dos(int year, int month, int day, int hour, int minute, int second) {
  return DosStamp{static_cast<uint16_t>(hour << 11 | minute << 5 | second / 2),
                  static_cast<uint16_t>((year - 1980) << 9 | month << 5 | day)};
}

const DosStamp kSourceStamp = dos(2001, 6, 15, 12, 0, 0);

// Records delayed moves as "source -> destination"; cannot open
// `unreadable` for reading.
class Machine : public PlatformWrapper {
 public:
  using PlatformWrapper::PlatformWrapper;
  bool moveAtRestart(const std::string& source, const std::string* destination) override {
    moves.push_back(source + " -> " + (destination ? *destination : "NUL"));
    return true;
  }
  std::unique_ptr<File> open(const std::string& path, FileMode mode) override {
    if (mode == FileMode::kRead && path == unreadable) return nullptr;
    return target().open(path, mode);
  }
  std::string makeUniqueName(const std::string& pattern) override {
    return noNames ? "" : PlatformWrapper::makeUniqueName(pattern);
  }
  Lines moves;
  std::string unreadable;
  bool noNames = false;
};

// The Error code an action raises (0 for none); *message gets its message.
int errorOf(const std::function<void()>& action, std::string* message) {
  try {
    action();
  } catch (const Error& e) {
    *message = e.message;
    EXPECT_EQ(e.file, kUnitFiles);
    return e.code;
  }
  return 0;
}

class FileReplaceTest : public ::testing::Test {
 protected:
  FileReplaceTest() : machine_(tp_.platform()) {
    previous_ = Platform::setCurrent(&machine_);
    for (const char* dir : {"SRC", "PROD", "WORK"}) tp_.platform().createDir(path(dir));
    config_.setWindowsDir(tp_.scratchDir());
    config_.setOsClass(OsClass::kNt);
    char digits[8];
    std::snprintf(digits, sizeof digits, "%05u", machine_.processId() % 100000);
    pid_ = digits;
    write("SRC\\A.DLL", "new", kSourceStamp);
  }
  ~FileReplaceTest() override { Platform::setCurrent(previous_); }

  std::string path(const std::string& name) const { return tp_.scratchDir() + "\\" + name; }
  void write(const std::string& name, const std::string& bytes, const DosStamp& stamp) {
    std::unique_ptr<File> f = tp_.platform().open(path(name), FileMode::kWrite);
    ASSERT_TRUE(f) << name;
    ASSERT_EQ(f->write(bytes.data(), bytes.size()), static_cast<int64_t>(bytes.size()));
    ASSERT_TRUE(f->setStamp(stamp));
  }
  std::string read(const std::string& name) {
    std::unique_ptr<File> f = tp_.platform().open(path(name), FileMode::kRead);
    if (!f) return "(missing)";
    std::string bytes;
    char buffer[4096];
    for (int64_t n; (n = f->read(buffer, sizeof buffer)) > 0;) bytes.append(buffer, n);
    return bytes;
  }
  DosStamp stampOf(const std::string& name) {
    DosStamp stamp;
    std::unique_ptr<File> f = tp_.platform().open(path(name), FileMode::kRead);
    EXPECT_TRUE(f && f->getStamp(&stamp)) << name;
    return stamp;
  }
  int copy(int force, int backup, int compressed = 0, std::string* staged = nullptr) {
    return copyFile(path("SRC\\A.DLL"), path("PROD\\A.DLL"), path("WORK"), config_, force, backup,
                    compressed, staged);
  }
  // The delayed moves, without the scratch directory.
  Lines moves() const {
    Lines out = machine_.moves;
    for (std::string& move : out) {
      for (size_t at; (at = move.find(tp_.scratchDir() + "\\")) != std::string::npos;)
        move.erase(at, tp_.scratchDir().size() + 1);
    }
    return out;
  }
  // A package file as the compressor writes it; "A" is the code stream 41 00.
  void writeCompressed(const std::string& name, const DosStamp& header, const std::string& codes) {
    std::string bytes = "\x1F\x9D";
    for (uint16_t word : {header.time, header.date}) {
      bytes += static_cast<char>(word & 0xFF);
      bytes += static_cast<char>(word >> 8);
    }
    bytes += std::string(2, '\0') + std::string("A.DLL") + std::string(9, '\0') + "\x8C" + codes;
    write(name, bytes, dos(2005, 1, 1, 0, 0, 0));
  }

  MemoryTestPlatform tp_;
  Machine machine_;
  Platform* previous_;
  ConfigData config_;
  std::string pid_;
};

enum Destination { kAbsent, kOlder, kSame, kNewer, kUnreadable };

struct Case {
  const char* name;
  Destination destination;
  int force, backup, oldCopy;
  int result;
  // C: a copy of A.DLL made now to A.OLD, B: A.DLL itself to A.OLD, S: the
  // staged copy to A.DLL (delayed moves; WININIT.INI has its own test)
  const char* schedule;
};

class FileReplaceTableTest : public FileReplaceTest, public ::testing::WithParamInterface<Case> {};

TEST_P(FileReplaceTableTest, ComparesReplacesAndSchedules) {
  const Case& c = GetParam();
  const DosStamp kept[] = {{},
                           dos(2001, 6, 15, 11, 0, 0),
                           kSourceStamp,
                           dos(2001, 6, 15, 13, 0, 0),
                           dos(2001, 6, 15, 11, 0, 0)};
  if (c.destination != kAbsent) write("PROD\\A.DLL", "old", kept[c.destination]);
  if (c.oldCopy) write("PROD\\A.OLD", "older", kSourceStamp);
  if (c.destination == kUnreadable) machine_.unreadable = path("PROD\\A.DLL");

  std::string stagedPath;
  EXPECT_EQ(copy(c.force, c.backup, 0, &stagedPath), c.result);

  Lines expected;
  for (const char* op = c.schedule; *op; ++op) {
    expected.push_back(*op == 'C'   ? "PROD\\ZBa" + pid_ + " -> PROD\\A.OLD"
                       : *op == 'B' ? "PROD\\A.DLL -> PROD\\A.OLD"
                                    : "WORK\\ZVa" + pid_ + " -> PROD\\A.DLL");
  }
  EXPECT_EQ(moves(), expected);
  EXPECT_EQ(config_.replacePending(), !expected.empty());
  // An existing destination is never written while the system runs.
  EXPECT_EQ(read("PROD\\A.DLL"), c.destination == kAbsent ? "new" : "old");
  if (c.destination == kAbsent) {
    EXPECT_EQ(stampOf("PROD\\A.DLL"), kSourceStamp);
  }
  if (std::string(c.schedule).find('C') != std::string::npos) {
    EXPECT_EQ(read("PROD\\ZBa" + pid_), "old");
    EXPECT_EQ(stampOf("PROD\\ZBa" + pid_), kept[c.destination]);
  }
  bool staged = std::string(c.schedule).find('S') != std::string::npos;
  EXPECT_EQ(read("WORK\\ZVa" + pid_), staged ? "new" : "(missing)");
  EXPECT_EQ(stagedPath, staged ? path("WORK\\ZVa" + pid_) : "");
  if (staged) {
    EXPECT_EQ(stampOf("WORK\\ZVa" + pid_), kSourceStamp);
  }
}

INSTANTIATE_TEST_SUITE_P(
    FileReplace, FileReplaceTableTest,
    ::testing::Values(Case{"AbsentCopiedAtOnce", kAbsent, 0, 1, 0, 32, ""},
                      Case{"OlderWithBackup", kOlder, 0, 1, 0, 8, "CS"},
                      Case{"OlderWithoutBackup", kOlder, 0, 0, 0, 8, "S"},
                      Case{"OlderWithExistingOld", kOlder, 0, 1, 1, 8, "CS"},
                      Case{"SameKept", kSame, 0, 1, 0, 2, ""},
                      Case{"NewerKept", kNewer, 0, 1, 0, 4, ""},
                      Case{"NewerForced", kNewer, 1, 0, 0, 16, "S"},
                      Case{"NewerForcedWithBackup", kNewer, 1, 1, 0, 16, "CS"},
                      Case{"SameForced", kSame, 1, 0, 0, 8, "S"},
                      Case{"UnreadableIsKeptAsOld", kUnreadable, 0, 1, 0, 32, "BS"},
                      Case{"UnreadableWithoutBackup", kUnreadable, 0, 0, 0, 32, "S"}),
    [](const ::testing::TestParamInfo<Case>& param) { return std::string(param.param.name); });

// Windows 95/98/Me: the lines in file order, the long folder by its short
// name; a file with a long name is refused, with nothing left behind.
TEST_F(FileReplaceTest, WininitExampleOfTheBackupWithAnExistingOldCopy) {
  config_.setOsClass(OsClass::kWindows9x);
  for (const char* dir :
       {"Program Files", "Program Files\\ARCHIVE", "Program Files\\ARCHIVE\\TEMP"})
    tp_.platform().createDir(path(dir));
  write("Program Files\\A.DLL", "old", dos(2000, 1, 1, 0, 0, 0));
  write("Program Files\\A.OLD", "older", dos(1999, 1, 1, 0, 0, 0));
  const std::string work = path("Program Files\\ARCHIVE\\TEMP");
  EXPECT_EQ(copyFile(path("SRC\\A.DLL"), path("Program Files\\A.DLL"), work, config_, 0, 1, 0), 8);
  std::string dir;
  ASSERT_TRUE(tp_.platform().shortPath(path("Program Files"), &dir));
  EXPECT_EQ(read("WININIT.INI"), "[rename]\r\nNUL=" + dir + "\\A.OLD\r\n" + dir + "\\A.OLD=" + dir +
                                     "\\A.DLL\r\n" + dir + "\\A.DLL=" + dir +
                                     "\\ARCHIVE\\TEMP\\ZVa" + pid_ + "\r\n\x1A");
  EXPECT_TRUE(machine_.moves.empty());
  EXPECT_EQ(read("Program Files\\ARCHIVE\\TEMP\\ZVa" + pid_), "new");

  const std::string before = read("WININIT.INI");
  write("Program Files\\Long Name.dll", "old", dos(2000, 1, 1, 0, 0, 0));
  std::string message;
  EXPECT_EQ(errorOf(
                [&] {
                  copyFile(path("SRC\\A.DLL"), path("Program Files\\Long Name.dll"), work, config_,
                           0, 0, 0);
                },
                &message),
            29);
  EXPECT_EQ(message,
            path("Program Files\\Long Name.dll") +
                " cannot be replaced at the next start of this Windows: it has a long name");
  EXPECT_EQ(read("WININIT.INI"), before);
  EXPECT_EQ(read("Program Files\\ARCHIVE\\TEMP\\ZVb" + pid_), "(missing)") << "no staged copy left";
}

TEST_F(FileReplaceTest, CompressedSourceIsComparedByItsHeaderTime) {
  const DosStamp header = dos(1999, 3, 4, 5, 6, 8);
  writeCompressed("SRC\\A.DL_", header, std::string("\x41\x00", 2));
  write("PROD\\A.DLL", "old", header);
  config_.setDebug(1);
  RecordingTrace trace;
  EXPECT_EQ(copy(0, 1, 1), 2);
  ASSERT_FALSE(trace.lines.empty());
  EXPECT_EQ(trace.lines[0], "          Copy Src File  : " + path("SRC\\A.DL_") + "\n");
  // Newer than the header, older than the package file itself.
  write("PROD\\A.DLL", "old", dos(1999, 3, 4, 5, 6, 10));
  EXPECT_EQ(copy(0, 1, 1), 4);
  EXPECT_TRUE(machine_.moves.empty());
}

TEST_F(FileReplaceTest, CompressedImmediateCopyExpandsWithTheHeaderTime) {
  const DosStamp header = dos(1999, 3, 4, 5, 6, 8);
  writeCompressed("SRC\\A.DL_", header, std::string("\x41\x00", 2));
  EXPECT_EQ(copy(0, 0, 1), 32);
  EXPECT_EQ(read("PROD\\A.DLL"), "A");
  EXPECT_EQ(stampOf("PROD\\A.DLL"), header);
}

// A package file that cannot be expanded installs nothing: no new file,
// and for an installed one no staged copy and nothing for the restart, so
// that the installed file stays where it is.
TEST_F(FileReplaceTest, FailedExpansionInstallsNothing) {
  std::string bytes = "XX";  // not the compressed format
  write("SRC\\A.DL_", bytes + std::string(30, '\x55'), kSourceStamp);
  RecordingTrace trace;
  EXPECT_EQ(copy(0, 0, 1), 0);
  EXPECT_FALSE(tp_.platform().exists(path("PROD\\A.DLL")));
  ASSERT_FALSE(trace.lines.empty());
  EXPECT_EQ(trace.lines.back().compare(0, 6, "[box] "), 0) << trace.lines.back();

  writeCompressed("SRC\\A.DL_", kSourceStamp, std::string("\x41\x58\x02", 3));  // code 300
  write("PROD\\A.DLL", "old", dos(2000, 1, 1, 0, 0, 0));
  std::string message;
  EXPECT_EQ(errorOf([&] { copy(0, 1, 1); }, &message), 24);
  EXPECT_EQ(message, path("SRC\\A.DL_"));
  EXPECT_TRUE(machine_.moves.empty()) << "not even the backup";
  EXPECT_FALSE(config_.replacePending());
  std::vector<DirEntry> staged;
  tp_.platform().listDir(path("WORK"), &staged);
  EXPECT_TRUE(staged.empty());
  EXPECT_EQ(read("PROD\\A.DLL"), "old");
}

TEST_F(FileReplaceTest, StampsWithinOneTwoSecondStepCompareEqual) {
  // Two real writes a few milliseconds apart, retried until they fall in
  // one two-second step without sharing the exact time.
  FileStatus source, destination;
  for (int attempt = 0; attempt < 10; ++attempt) {
    tp_.platform().open(path("SRC\\A.DLL"), FileMode::kWrite)->write("new", 3);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    tp_.platform().open(path("PROD\\A.DLL"), FileMode::kWrite)->write("old", 3);
    ASSERT_TRUE(tp_.platform().stat(path("SRC\\A.DLL"), &source));
    ASSERT_TRUE(tp_.platform().stat(path("PROD\\A.DLL"), &destination));
    if (source.modifiedNs / 2000000000 == destination.modifiedNs / 2000000000) break;
  }
  ASSERT_EQ(source.modifiedNs / 2000000000, destination.modifiedNs / 2000000000);
  ASSERT_LT(source.modifiedNs, destination.modifiedNs);
  EXPECT_EQ(copy(0, 1), 2);
  EXPECT_TRUE(machine_.moves.empty());
}

TEST_F(FileReplaceTest, MissingSourceRaises20WithTheSourcePath) {
  std::string message;
  EXPECT_EQ(errorOf([&] { copy(0, 0, 1); }, &message), 20);
  EXPECT_EQ(message, path("SRC\\A.DL_"));
  tp_.platform().deleteFile(path("SRC\\A.DLL"));
  EXPECT_EQ(errorOf([&] { copy(0, 0); }, &message), 20);
  EXPECT_EQ(message, path("SRC\\A.DLL"));
}

TEST_F(FileReplaceTest, NoTemporaryNameRaises21WithTheDestination) {
  write("PROD\\A.DLL", "old", dos(2000, 1, 1, 0, 0, 0));
  machine_.noNames = true;
  std::string message;
  EXPECT_EQ(errorOf([&] { copy(0, 1); }, &message), 21);
  EXPECT_EQ(message, path("PROD\\A.DLL"));
  EXPECT_TRUE(machine_.moves.empty()) << "not even the backup";
}

TEST_F(FileReplaceTest, DebugTracesPathsAndTimes) {
  write("PROD\\A.DLL", "old", dos(2001, 6, 15, 11, 58, 30));
  config_.setDebug(1);
  RecordingTrace trace;
  EXPECT_EQ(copy(0, 0), 8);
  char src[64], dst[64];
  std::snprintf(src, sizeof src, "%lX", static_cast<unsigned long>(stampToTime(kSourceStamp)));
  std::snprintf(dst, sizeof dst, "%lX",
                static_cast<unsigned long>(stampToTime(dos(2001, 6, 15, 11, 58, 30))));
  ASSERT_GE(trace.lines.size(), 4u);
  EXPECT_EQ(Lines(trace.lines.begin(), trace.lines.begin() + 4),
            (Lines{"          Copy Src File  : " + path("SRC\\A.DLL") + "\n",
                   "          Copy Dest File : " + path("PROD\\A.DLL") + "\n",
                   "          Src File Time  : " + std::string(src) + " 0 0 12 15 6 21\n",
                   "          Dest File Time : " + std::string(dst) + " 15 58 11 15 6 21\n"}));
  trace.lines.clear();
  tp_.platform().deleteFile(path("PROD\\A.DLL"));
  EXPECT_EQ(copy(0, 0), 32);
  ASSERT_EQ(trace.lines.size(), 4u);
  EXPECT_EQ(trace.lines[3], "          Dest File Time : 0 0 0 0 0 0 0\n");
}

TEST_F(FileReplaceTest, StampToTimeIsTheLocalCalendarTime) {
  struct tm tm = {};
  tm.tm_sec = 58;
  tm.tm_min = 34;
  tm.tm_hour = 12;
  tm.tm_mday = 15;
  tm.tm_mon = 5;
  tm.tm_year = 101;
  tm.tm_isdst = -1;
  EXPECT_EQ(stampToTime(dos(2001, 6, 15, 12, 34, 58)), static_cast<int32_t>(std::mktime(&tm)));
  EXPECT_EQ(stampToTime(dos(2001, 6, 16, 12, 34, 58)) - stampToTime(dos(2001, 6, 15, 12, 34, 58)),
            86400);
}

TEST_F(FileReplaceTest, ImmediateCopyIsByteExactAcrossChunks) {
  std::string bytes;
  for (int i = 0; i < 9000; ++i) bytes += static_cast<char>(i * 7);
  write("SRC\\A.DLL", bytes, kSourceStamp);
  EXPECT_EQ(copy(0, 0), 32);
  EXPECT_EQ(read("PROD\\A.DLL"), bytes);
}

}  // namespace
}  // namespace zv
