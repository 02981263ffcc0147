#include "profile/profile.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "base/error.h"
#include "platform/platform_wrapper.h"
#include "platform/testing/memory_platform.h"

namespace zv {
namespace {

using Lines = std::vector<std::string>;

// The bytes a save writes for these lines.
std::string saved(const Lines& lines) {
  std::string out;
  for (const std::string& line : lines) out += line + "\r\n";
  return out + "\x1A";
}

// Another program's file: LF line ends and no 0x1A, so a rewrite shows.
std::string foreign(const Lines& lines) {
  std::string out;
  for (const std::string& line : lines) out += line + "\n";
  return out;
}

// "a|b" is the lines a and b; "" is no lines.
Lines split(const std::string& text) {
  Lines out;
  if (text.empty()) return out;
  for (size_t start = 0, bar;; start = bar + 1) {
    bar = text.find('|', start);
    out.push_back(text.substr(start, bar - start));
    if (bar == std::string::npos) return out;
  }
}

Lines linesOf(const Profile& p) {
  Lines out;
  for (size_t n = 1; n <= p.lineCount(); ++n) out.push_back(*p.getLine(n));
  return out;
}

// The Error code an action raises (0 for none); *message gets its message.
int errorOf(const std::function<void()>& action, std::string* message = nullptr) {
  try {
    action();
  } catch (const Error& e) {
    if (message) *message = e.message;
    return e.code;
  }
  return 0;
}

// A file whose every read and write fails, as on a bad disk.
class BrokenFile : public File {
 public:
  int64_t read(void*, size_t) override { return -1; }
  int64_t write(const void*, size_t) override { return -1; }
  bool seekToStart() override { return true; }
  bool getStamp(DosStamp*) override { return false; }
  bool setStamp(const DosStamp&) override { return false; }
  bool close() override { return true; }
};

// The test platform with faults a test switches on; counts opens and renames.
class FaultyPlatform : public PlatformWrapper {
 public:
  using PlatformWrapper::PlatformWrapper;
  std::unique_ptr<File> open(const std::string& path, FileMode mode) override {
    ++fileCalls;
    reads += mode == FileMode::kRead;
    if (mode == FileMode::kRead && failOpenRead) return nullptr;
    if (mode == FileMode::kRead && failRead) return std::make_unique<BrokenFile>();
    if (mode == FileMode::kCreateNew && failCreate) return nullptr;
    // The new file exists, but nothing can be written to it.
    if (mode == FileMode::kCreateNew && failWrite) {
      return target().open(path, mode) ? std::make_unique<BrokenFile>() : nullptr;
    }
    return target().open(path, mode);
  }
  bool renameReplacing(const std::string& from, const std::string& to) override {
    ++fileCalls;
    ++saves;
    return !failRename && target().renameReplacing(from, to);
  }

  int fileCalls = 0, reads = 0, saves = 0;
  bool failOpenRead = false, failRead = false, failCreate = false, failWrite = false,
       failRename = false;
};

class ProfileTest : public ::testing::Test {
 protected:
  ProfileTest() : faults_(tp_.platform()) { previous_ = Platform::setCurrent(&faults_); }
  ~ProfileTest() override { Platform::setCurrent(previous_); }

  Platform& p() { return tp_.platform(); }
  std::string path(const std::string& name) { return tp_.scratchDir() + "\\" + name; }
  void writeFile(const std::string& name, const std::string& bytes) {
    std::unique_ptr<File> f = p().open(path(name), FileMode::kWrite);
    ASSERT_TRUE(f);
    ASSERT_EQ(f->write(bytes.data(), bytes.size()), static_cast<int64_t>(bytes.size()));
  }
  std::string readFile(const std::string& name) {
    std::unique_ptr<File> f = p().open(path(name), FileMode::kRead);
    if (!f) return "<missing>";
    std::string out;
    char buf[512];
    for (int64_t n; (n = f->read(buf, sizeof buf)) > 0;) out.append(buf, static_cast<size_t>(n));
    return out;
  }
  std::vector<std::string> scratchNames() {
    std::vector<DirEntry> entries;
    p().listDir(tp_.scratchDir(), &entries);
    std::vector<std::string> names;
    for (const DirEntry& e : entries) names.push_back(e.name);
    return names;
  }

  MemoryTestPlatform tp_;
  FaultyPlatform faults_;
  Platform* previous_ = nullptr;
};

// ---- loading

TEST_F(ProfileTest, LoadsRawLinesAndLeavesAnUneditedFileAlone) {
  const std::string x1023(1023, 'x');
  // file bytes, then the lines loaded joined by "|"
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"A\r\nB\r\n", "A|B"},
      {"A\nB\n", "A|B"},
      {"A\r\nB", "A|B"},
      {"A\rB\r\r\n", "AB"},
      {"", ""},
      {"\r\n\n", "|"},
      {"A\r\nB\x1A\r\nC\r\n", "A|B"},
      {"  Key = v \t\r\n", "  Key = v \t"},
      // however long, a line is one line
      {x1023 + "xxxxxxx\r\n", x1023 + "xxxxxxx"},
      {x1023 + "\r\nz", x1023 + "|z"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.second);
    writeFile("L.INI", c.first);
    {
      Profile profile(path("L.INI"), Profile::kFileMode);
      EXPECT_EQ(linesOf(profile), split(c.second));
    }
    EXPECT_EQ(readFile("L.INI"), c.first);
  }
}

TEST_F(ProfileTest, ASaveDropsWhatFollowedTheCtrlZ) {
  writeFile("Z.INI", "[A]\r\nX=1\r\n\x1Ajunk\r\n[B]\r\n");
  Profile profile(path("Z.INI"), Profile::kFileMode);
  profile.setValue("A", "X", "1");
  EXPECT_EQ(readFile("Z.INI"), saved({"[A]", "X=1"}));
}

TEST_F(ProfileTest, ALineEndsAtANulByte) {
  writeFile("N.INI", std::string("[A]\r\nDir=C:\\PROD\0\\SUB\r\nX=1\r\n", 28));
  Profile profile(path("N.INI"), Profile::kFileMode);
  EXPECT_EQ(profile.getString("A", "Dir", "?"), "C:\\PROD");
  EXPECT_EQ(profile.getString("A", "X", "?"), "1");
}

TEST_F(ProfileTest, AMissingFileGivesNoLinesUntilTheFirstEditCreatesIt) {
  Profile profile(path("NEW.INI"), Profile::kFileMode);
  EXPECT_EQ(profile.lineCount(), 0u);
  EXPECT_EQ(profile.getString("S", "K", "def"), "def");
  EXPECT_FALSE(p().exists(path("NEW.INI")));
  profile.setValue("S", "K", "V");
  EXPECT_EQ(readFile("NEW.INI"), "[S]\r\nK=V\r\n\x1A");

  Profile nothing(path("EMPTY.INI"), Profile::kFileMode);
  nothing.setValue("S", "K", nullptr);
  EXPECT_EQ(readFile("EMPTY.INI"), "\x1A");
}

// ---- queries

class ProfileQueryTest : public ProfileTest {
 protected:
  void SetUp() override {
    writeFile("R.INI",
              foreign(split("[Patch] ; note|LogFileName=x|LogFile = trace.log|   Debug=x|Force=1x|"
                            "Empty=|Neg=-42|Pad= 12|Yes=yes|Key =1|Tail= a b |  [Sec]|After=3|"
                            "[Patch1]|Only1=1|[patch]|Second=2|[Other]|Z=9|[Note] x")));
  }
};

TEST_F(ProfileQueryTest, SectionsAreFoundByTheirFirstHeader) {
  Profile profile(path("R.INI"), Profile::kFileMode);
  EXPECT_EQ(profile.findSection("Patch"), 0);
  EXPECT_EQ(profile.findSection("patch1"), 13);
  EXPECT_EQ(profile.findSection("OTHER"), 17);
  EXPECT_EQ(profile.findSection("Note"), 19);
  EXPECT_EQ(profile.findSection("Sec"), -1) << "an indented header is not found";
  EXPECT_EQ(profile.findSection("Missing"), -1);
  EXPECT_EQ(profile.sectionExists("PATCH"), 1) << "by the later exact [patch]";
  EXPECT_EQ(profile.sectionExists("Note"), 0);
  EXPECT_EQ(profile.sectionExists("Sec"), 0);
  EXPECT_TRUE(Profile::isSectionHeader("  [Sec] \t"));
  EXPECT_FALSE(Profile::isSectionHeader("x [Sec]"));
  EXPECT_FALSE(Profile::isSectionHeader(" \t"));
}

TEST_F(ProfileQueryTest, ValuesAreReadByTheReadingRules) {
  Profile profile(path("R.INI"), Profile::kFileMode);
  // section|key|value
  for (const char* row : {"Patch|LogFile| trace.log", "PATCH|logfile| trace.log", "Patch|Debug|x",
                          "Patch|Empty|", "Patch|Tail| a b ", "Patch|Key|1", "Patch|After|3",
                          "Patch|Only1|def", "Patch|Second|def", "Patch|Z|def", "Patch1|Only1|1",
                          "Sec|After|def", "Missing|LogFile|def", "Patch|Missing|def"}) {
    const Lines s = split(row);
    EXPECT_EQ(profile.getString(s[0], s[1], "def"), s[2]) << row;
  }
  const std::vector<std::pair<const char*, int>> numbers = {
      {"Force", 1}, {"Empty", -7}, {"Neg", -42}, {"Pad", 12},
      {"Yes", -7},  {"Key", 1},    {"After", 3}, {"Missing", -7}};
  for (const auto& n : numbers) {
    EXPECT_EQ(profile.getInt("Patch", n.first, -7), n.second) << n.first;
    EXPECT_EQ(profile.getLong("Patch", n.first, -7L), n.second) << n.first;
  }
  EXPECT_EQ(profile.dirty(), 0u);
}

TEST_F(ProfileQueryTest, LinesAreCountedFromOne) {
  Profile profile(path("R.INI"), Profile::kFileMode);
  ASSERT_EQ(profile.lineCount(), 20u);
  EXPECT_EQ(profile.getLine(0), nullptr);
  ASSERT_NE(profile.getLine(1), nullptr);
  EXPECT_EQ(*profile.getLine(1), "[Patch] ; note");
  EXPECT_EQ(*profile.getLine(20), "[Note] x");
  EXPECT_EQ(profile.getLine(21), nullptr);
}

// ---- edits: each runs on a file-backed and on an in-memory profile

TEST_F(ProfileTest, EditsChangeOnlyWhatTheyMustAndWriteThrough) {
  enum { kKept = 0, kSaved = 1, kDirty = 2 };
  struct Case {
    std::string before;  // lines joined by "|"
    std::function<void(Profile&)> edit;
    std::string after;
    int result;
  };
  auto set = [](const char* s, const char* k, const char* v) {
    return [=](Profile& p) { p.setValue(s, k, v); };
  };
  auto add = [](const char* s, const char* k, const char* v, bool unique) {
    return [=](Profile& p) { p.addEntry(s, k, v, unique); };
  };
  auto addAll = [](const char* s, std::vector<std::pair<std::string, std::string>> entries) {
    return [=](Profile& p) { p.addEntries(s, entries); };
  };
  auto insertAfter = [](const char* text, const char* prefix) {
    return [=](Profile& p) { p.insertLineAfter(text, prefix); };
  };
  const std::string v600(600, 'v'), long3000 = "[x]" + std::string(3000, 'l');
  const int kEdit = kSaved | kDirty;
  const std::vector<Case> cases = {
      {"[A]|X=1|Y=2", set("A", "x", "9"), "[A]|x=9|Y=2", kEdit},  // in place, any case
      {"[A]|X=1", [](Profile& p) { p.setValue("A", "X", "1"), p.setValue("A", "X", "1"); },
       "[A]|X=1", kEdit},
      {"[A]|X=1||[B]", set("A", "Y", "2"), "[A]|X=1|Y=2||[B]", kEdit},
      {"[A]|[B]", set("A", "Y", "2"), "[A]|Y=2|[B]", kEdit},
      {"[A]|X=1|  [S]|Y=1", set("A", "Y", "2"), "[A]|X=1|Y=2|  [S]|Y=1", kEdit},
      {"[A]|X=1|[a]|X=2", set("A", "X", "3"), "[A]|X=3|[a]|X=2", kEdit},  // first wins
      {"[A] ; n|X=1", set("A", "X", "2"), "[A] ; n|X=2", kEdit},
      {"[A]|Key =1", set("A", "Key", "2"), "[A]|Key =1|Key=2", kEdit},
      {"[A]|X=1", set("N", "K", "V"), "[A]|X=1||[N]|K=V", kEdit},
      {"[A]|", set("N", "K", "V"), "[A]||[N]|K=V", kEdit},
      {"", set("N", "K", "V"), "[N]|K=V", kEdit},
      {"[A]|X=1|Y=2", set("A", "x", nullptr), "[A]|Y=2", kEdit},
      {"[A]|X=1", set("A", "Q", nullptr), "[A]|X=1", kEdit},  // rewritten all the same
      {"[A]", set("N", "Q", nullptr), "[A]", kEdit},
      {"[A]", set("N", nullptr, nullptr), "[A]", kEdit},
      {";top|[A]|X=1|;c||[B]|Y=1", set("a", nullptr, nullptr), ";top|[B]|Y=1", kEdit},
      {"[A]|X=1| [S]|Z=1", set("A", nullptr, nullptr), " [S]|Z=1", kEdit},
      {";c||[A]|// n|plain|X=1||[B]|;x=1", set("A", "X", "2"), ";c||[A]|// n|plain|X=2||[B]|;x=1",
       kEdit},
      {"[A]", set("A", v600.c_str(), v600.c_str()), "[A]|" + v600 + "=" + v600, kEdit},
      {long3000 + "|[A]|X=1", set("A", "X", "2"), long3000 + "|[A]|X=2", kEdit},
      {"[R]|NUL=a", add("R", "NUL", "b", false), "[R]|NUL=a|NUL=b", kEdit},
      {"[R]|A=1||[S]", addAll("R", {{"NUL", "b"}, {"b", "a"}}), "[R]|A=1|NUL=b|b=a||[S]", kEdit},
      {"[A]", addAll("R", {{"NUL", "b"}, {"b", "a"}}), "[A]||[R]|NUL=b|b=a", kEdit},
      {"[R]|A=1|||[S]", add("R", "B", "2", false), "[R]|A=1|B=2|||[S]", kEdit},
      {"[R]|||[S]", add("R", "B", "2", false), "[R]|B=2|||[S]", kEdit},
      {"[A]", add("R", "K", "V", false), "[A]||[R]|K=V", kEdit},
      {"", add("rename", "NUL", v600.c_str(), false), "[rename]|NUL=" + v600, kEdit},
      {"[R]|NUL=C:\\A", add("R", "nul", "c:\\a", true), "[R]|NUL=C:\\A", kKept},
      {"[R]|[S]|nul=A", add("R", "NUL", "A", true), "[R]|[S]|nul=A", kKept},
      {"NUL=A|[R]", add("R", "NUL", "A", true), "NUL=A|[R]|NUL=A", kEdit},
      {"[R]|NUL=A", add("R", "NUL", "B", true), "[R]|NUL=A|NUL=B", kEdit},
      {"", add("R", "NUL", "A", true), "[R]|NUL=A", kEdit},
      {"a|b1|x|b2|y", insertAfter("c", "b"), "a|b1|x|b2|c|y", kSaved},
      {"a|b1|x|b2|y", insertAfter("c", "B"), "c|a|b1|x|b2|y", kSaved},  // prefix with case
      {"a", insertAfter("c", nullptr), "c|a", kSaved},
      {"a", insertAfter("c", ""), "c|a", kSaved},
      {"a", [](Profile& p) { p.insertFirstLine("c"); }, "c|a", kSaved},
      {"a", [](Profile& p) { p.appendLine("c"); }, "a|c", kSaved},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.before + " -> " + c.after);
    const Lines before = split(c.before), after = split(c.after);
    const unsigned dirty = (c.result & kDirty) ? 1 : 0;
    writeFile("E.INI", foreign(before));
    {
      Profile profile(path("E.INI"), Profile::kFileMode);
      c.edit(profile);
      EXPECT_EQ(linesOf(profile), after);
      EXPECT_EQ(profile.dirty(), dirty);
      EXPECT_EQ(readFile("E.INI"), (c.result & kSaved) ? saved(after) : foreign(before));
    }
    Profile memory("", Profile::kFileMode);
    for (const std::string& line : before) memory.appendLine(line);
    faults_.fileCalls = 0;
    c.edit(memory);
    EXPECT_EQ(linesOf(memory), after);
    EXPECT_EQ(memory.dirty(), dirty);
    EXPECT_EQ(faults_.fileCalls, 0) << "an in-memory profile touches no file";
  }
  EXPECT_EQ(scratchNames(), std::vector<std::string>{"E.INI"}) << "no new file left behind";
}

TEST_F(ProfileTest, OnlyADirtyProfileIsWrittenAgainOnDestruction) {
  {
    Profile profile(path("D.INI"), Profile::kFileMode);
    profile.setValue("A", "X", "1");
    writeFile("D.INI", "other");
  }
  EXPECT_EQ(readFile("D.INI"), saved({"[A]", "X=1"}));
  // Each edit writes the file once; the file is read again only when it may
  // differ from the lines: written by another, or given a CR by an edit.
  faults_.reads = faults_.saves = 0;
  {
    Profile profile(path("D.INI"), Profile::kFileMode);
    profile.setValue("A", "Y", "2");
    profile.setValue("A", "Z", "3");
    EXPECT_EQ(faults_.reads, 1);
    profile.setValue("A", "W", "a\rb");
    EXPECT_EQ(profile.getString("A", "W", ""), "ab");
    EXPECT_EQ(faults_.reads, 2);
  }
  EXPECT_EQ(faults_.saves, 3) << "nothing more at release";
  {
    Profile profile(path("N.INI"), Profile::kFileMode);
    profile.appendLine("x");
    writeFile("N.INI", "other");
  }
  EXPECT_EQ(readFile("N.INI"), "other");
}

TEST_F(ProfileTest, CapacityGrowsInStepsOfTen) {
  Profile memory("", Profile::kFileMode);
  EXPECT_EQ(memory.capacity(), 0u);
  memory.appendLine("1");
  EXPECT_EQ(memory.capacity(), 10u);
  for (int i = 0; i < 24; ++i) memory.appendLine("x");
  EXPECT_EQ(memory.lineCount(), 25u);
  EXPECT_EQ(memory.capacity(), 30u);
  memory.grow();
  EXPECT_EQ(memory.capacity(), 40u);
  EXPECT_EQ(memory.lineCount(), 25u);

  // A load that does not fit takes exactly the lines plus ten.
  writeFile("C.INI", foreign(Lines(25, "x")));
  Profile file(path("C.INI"), Profile::kFileMode);
  EXPECT_EQ(file.capacity(), 35u);
  writeFile("C.INI", foreign(Lines(3, "y")));
  EXPECT_EQ(file.getString("y", "y", ""), "");
  EXPECT_EQ(file.lineCount(), 3u);
  EXPECT_EQ(file.capacity(), 35u);
}

// ---- staying current

TEST_F(ProfileTest, ASameSizeChangeWithinOneSecondIsSeen) {
  using std::chrono::milliseconds;
  // Retried until both writes fall in one second with distinct times, so
  // only a comparison finer than seconds sees the change.
  for (int attempt = 0; attempt < 20; ++attempt) {
    writeFile("C.INI", "[S]\r\nA=1\r\n");
    FileStatus first, second;
    ASSERT_TRUE(p().stat(path("C.INI"), &first));
    Profile profile(path("C.INI"), Profile::kFileMode);
    ASSERT_EQ(profile.getString("S", "A", "?"), "1");
    for (int i = 0; i < 100; ++i) {
      std::this_thread::sleep_for(milliseconds(1));
      writeFile("C.INI", "[S]\r\nA=2\r\n");
      ASSERT_TRUE(p().stat(path("C.INI"), &second));
      if (second.modifiedNs != first.modifiedNs) break;
    }
    ASSERT_NE(second.modifiedNs, first.modifiedNs) << "the file time never moved";
    if (first.modifiedNs / 1000000000 != second.modifiedNs / 1000000000) continue;
    EXPECT_EQ(profile.getString("S", "A", "?"), "2");
    return;
  }
  FAIL() << "never two writes within one second";
}

TEST_F(ProfileTest, ADeletedFileKeepsTheLinesAndLineQueriesDoNotReload) {
  writeFile("K.INI", "[A]\r\nX=1\r\n");
  Profile profile(path("K.INI"), Profile::kFileMode);
  ASSERT_TRUE(p().deleteFile(path("K.INI")));
  EXPECT_EQ(profile.getString("A", "X", "?"), "1");
  ASSERT_EQ(profile.lineCount(), 2u);

  writeFile("K.INI", "[B]\r\nX=22\r\n");
  EXPECT_EQ(*profile.getLine(2), "X=1");
  EXPECT_EQ(profile.findSection("A"), 0);
  EXPECT_EQ(profile.sectionExists("B"), 0);
  EXPECT_EQ(profile.getString("B", "X", "?"), "22");
  EXPECT_EQ(*profile.getLine(2), "X=22");
}

// ---- failures

TEST_F(ProfileTest, AnUnreadableFileRaises20UntilItCanBeRead) {
  writeFile("U.INI", "[A]\r\nX=1\r\n");
  std::string message;
  faults_.failOpenRead = true;
  EXPECT_EQ(errorOf([&] { Profile profile(path("U.INI"), Profile::kFileMode); }, &message), 20);
  EXPECT_EQ(message, path("U.INI"));
  faults_.failOpenRead = false;

  Profile profile(path("U.INI"), Profile::kFileMode);
  writeFile("U.INI", "[A]\r\nX=22\r\n");
  faults_.failOpenRead = true;
  EXPECT_EQ(errorOf([&] { profile.getString("A", "X", ""); }), 20);
  EXPECT_EQ(errorOf([&] { profile.getInt("A", "X", 0); }), 20) << "tried again";
  EXPECT_EQ(linesOf(profile), (Lines{"[A]", "X=1"}));
  faults_.failOpenRead = false;
  EXPECT_EQ(profile.getString("A", "X", ""), "22");
}

TEST_F(ProfileTest, AReadErrorRaises20AndIsTriedAgain) {
  writeFile("U.INI", "[A]\r\nX=1\r\n");
  Profile profile(path("U.INI"), Profile::kFileMode);
  writeFile("U.INI", "[A]\r\nX=22\r\n");
  faults_.failRead = true;
  std::string message;
  EXPECT_EQ(errorOf([&] { profile.getString("A", "X", ""); }, &message), 20);
  EXPECT_EQ(message, path("U.INI"));
  faults_.failRead = false;
  EXPECT_EQ(profile.getString("A", "X", ""), "22");
}

TEST_F(ProfileTest, AFailedSaveRaises21AndKeepsTheOldFile) {
  const std::vector<std::pair<const char*, bool FaultyPlatform::*>> faults = {
      {"new file not created", &FaultyPlatform::failCreate},
      {"new file not written", &FaultyPlatform::failWrite},
      {"rename refused", &FaultyPlatform::failRename},
  };
  for (const auto& fault : faults) {
    SCOPED_TRACE(fault.first);
    writeFile("F.INI", "[A]\nX=1\n");
    {
      Profile profile(path("F.INI"), Profile::kFileMode);
      faults_.*fault.second = true;
      std::string message;
      EXPECT_EQ(errorOf([&] { profile.setValue("A", "X", "2"); }, &message), 21);
      EXPECT_EQ(message, path("F.INI"));
      faults_.*fault.second = false;
      EXPECT_EQ(profile.getString("A", "X", "?"), "1") << "the failed edit is dropped";
    }  // and the release does not write it after all
    EXPECT_EQ(readFile("F.INI"), "[A]\nX=1\n");
    {
      Profile missing(path("G.INI"), Profile::kFileMode);
      faults_.*fault.second = true;
      std::string message;
      EXPECT_EQ(errorOf([&] { missing.addEntries("R", {{"A", "1"}, {"B", "2"}}); }, &message), 21);
      faults_.*fault.second = false;
      EXPECT_EQ(missing.lineCount(), 0u);
    }
    EXPECT_FALSE(p().exists(path("G.INI")));
    EXPECT_EQ(scratchNames(), std::vector<std::string>{"F.INI"});
  }
}

TEST_F(ProfileTest, AnUnwritablePlaceRaises21WithTheWholeName) {
  writeFile("FILE.TXT", "x");
  ASSERT_TRUE(p().createDir(path("SUB")));
  const std::vector<std::string> names = {
      path("NODIR\\X.INI"),
      path("FILE.TXT\\X.INI"),
      path("SUB"),  // a directory is not loaded, and cannot be replaced
      path("NODIR\\" + std::string(150, 'a') + "\\" + std::string(150, 'b') + "\\X.INI"),
  };
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    Profile profile(name, Profile::kFileMode);
    EXPECT_EQ(profile.lineCount(), 0u);
    std::string message;
    EXPECT_EQ(errorOf([&] { profile.setValue("A", "X", "1"); }, &message), 21);
    EXPECT_EQ(message, name);
    EXPECT_EQ(profile.name(), name);
  }
  FileStatus status;
  ASSERT_TRUE(p().stat(path("SUB"), &status));
  EXPECT_TRUE(status.isDirectory);
  EXPECT_EQ(readFile("FILE.TXT"), "x");
}

// ---- registry mode

class ProfileRegistryTest : public ProfileTest {
 protected:
  void SetUp() override {
    RegKey key;
    if (p().regCreateKey(kHkeyLocalMachine, tp_.scratchKey(), &key) != kErrorSuccess) {
      GTEST_SKIP() << "HKEY_LOCAL_MACHINE cannot be written here (needs an administrator)";
    }
    p().regCloseKey(key);
    reg_ = tp_.scratchKey() + "\\ZEVRA.INI";
  }
  void TearDown() override { removeKey(kHkeyLocalMachine, tp_.scratchKey()); }

  void removeKey(RegKey parent, const std::string& subkey) {
    RegKey key;
    if (p().regOpenKey(parent, subkey, RegAccess::kAllAccess, &key) != kErrorSuccess) return;
    char name[256];
    for (uint32_t size = sizeof name; p().regEnumKey(key, 0, name, &size) == kErrorSuccess;
         size = sizeof name) {
      removeKey(key, name);
    }
    p().regCloseKey(key);
    p().regDeleteKey(parent, subkey);
  }
  void put(const std::string& key, const std::string& name, const std::string& value) {
    RegKey handle;
    ASSERT_EQ(p().regCreateKey(kHkeyLocalMachine, reg_ + "\\" + key, &handle), kErrorSuccess);
    ASSERT_EQ(p().regSetString(handle, name, value), kErrorSuccess);
    p().regCloseKey(handle);
  }
  // The value's bytes, or why there are none.
  std::string get(const std::string& key, const std::string& name) {
    RegKey handle;
    if (p().regOpenKey(kHkeyLocalMachine, reg_ + "\\" + key, RegAccess::kRead, &handle) !=
        kErrorSuccess) {
      return "<no key>";
    }
    char buffer[1024];
    uint32_t type = 0, size = sizeof buffer;
    long rc = p().regQueryValue(handle, name, &type, buffer, &size);
    p().regCloseKey(handle);
    if (rc != kErrorSuccess) return "<no value>";
    return type == kRegSz ? std::string(buffer, size) : "<not REG_SZ>";
  }
  // Three levels with siblings, and values along the way.
  void buildTree(const std::string& key) {
    for (const char* sub : {"\\A\\A1\\A1x", "\\A\\A2", "\\B\\B1", "\\C"}) {
      put(key + sub, "v", "1");
    }
    put(key, "Top", "t");
  }

  std::string reg_;
};

TEST_F(ProfileRegistryTest, SetValueCreatesThePathAndGetStringReadsIt) {
  Profile profile(reg_, Profile::kRegistryMode);
  EXPECT_EQ(profile.name(), reg_ + "\\");
  EXPECT_TRUE(profile.isRegistry());
  faults_.fileCalls = 0;
  profile.setValue("Install", "Patch0", "FIX0042");
  EXPECT_EQ(get("Install", "Patch0"), std::string("FIX0042\0", 8)) << "stored with its NUL";
  EXPECT_EQ(profile.getString("Install", "Patch0", "def"), "FIX0042");
  EXPECT_EQ(profile.getString("Install", "Patch1", "def"), "def");
  EXPECT_EQ(profile.getString("Missing", "Patch0", "def"), "def");
  EXPECT_EQ(profile.dirty(), 0u);
  EXPECT_EQ(profile.lineCount(), 0u);
  EXPECT_EQ(faults_.fileCalls, 0) << "registry mode touches no file";
}

TEST_F(ProfileRegistryTest, LongValuesAndNumbersGiveTheDefault) {
  put("S", "Fits", std::string(255, 'f'));
  put("S", "Long", std::string(256, 'l'));
  put("S", "Num", "5");
  Profile profile(reg_, Profile::kRegistryMode);
  EXPECT_EQ(profile.getString("S", "Fits", "def"), std::string(255, 'f'));
  EXPECT_EQ(profile.getString("S", "Long", "def"), "def");
  EXPECT_EQ(profile.getString("S", "Num", "def"), "5");
  EXPECT_EQ(profile.getInt("S", "Num", -1), -1);
  EXPECT_EQ(profile.getLong("S", "Num", -1L), -1L);
}

TEST_F(ProfileRegistryTest, SetValueDeletesAValueOrTheWholeSection) {
  put("S", "A", "1");
  put("S", "B", "2");
  buildTree("Tree");
  put("Keep", "K", "k");
  Profile profile(reg_, Profile::kRegistryMode);

  profile.setValue("S", "A", nullptr);
  EXPECT_EQ(get("S", "A"), "<no value>");
  EXPECT_EQ(get("S", "B"), std::string("2\0", 2));
  profile.setValue("Missing", "A", nullptr);
  EXPECT_EQ(get("Missing", ""), "<no key>");

  profile.setValue("Tree", nullptr, nullptr);
  EXPECT_EQ(get("Tree", "Top"), "<no key>");
  EXPECT_EQ(get("Keep", "K"), std::string("k\0", 2));
  EXPECT_EQ(profile.dirty(), 0u);
}

TEST_F(ProfileRegistryTest, DeleteKeyTreeEmptiesTheKeyButKeepsIt) {
  buildTree("Direct");
  Profile profile(reg_, Profile::kRegistryMode);
  RegKey key;
  ASSERT_EQ(p().regOpenKey(kHkeyLocalMachine, reg_ + "\\Direct", RegAccess::kAllAccess, &key),
            kErrorSuccess);
  EXPECT_EQ(profile.deleteKeyTree(key, reg_ + "\\Direct"), 1);
  uint32_t count = 99;
  EXPECT_EQ(p().regQuerySubkeyCount(key, &count), kErrorSuccess);
  EXPECT_EQ(count, 0u);
  p().regCloseKey(key);
  EXPECT_EQ(get("Direct", "Top"), std::string("t\0", 2));
  EXPECT_EQ(get("Direct\\A", "v"), "<no key>");
  EXPECT_EQ(profile.deleteKeyTree(key, "closed"), 0) << "a closed handle fails";
}

}  // namespace
}  // namespace zv
