#include "files/substitute.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/error.h"
#include "files/file_copy.h"
#include "platform/platform_wrapper.h"
#include "platform/testing/memory_file.h"
#include "platform/testing/memory_platform.h"

namespace zv {
namespace {

// ---- substitute

using Pairs = std::vector<std::pair<std::string, std::string>>;

SubstituteClass listOf(const Pairs& pairs, char escape = '\\') {
  SubstituteClass list(escape);
  for (const auto& [name, value] : pairs) list.addPair(name, value);
  return list;
}

const Pairs kEngine = {{"ZEVRA", "C:\\PROD"}, {"WINDOWS", "C:\\WIN"}};

std::string substituted(SubstituteClass& list, std::string text) {
  list.substitute(text);
  return text;
}

TEST(SubstituteTest, ReplacesKeywordsAndCollapsesDoubledEscapes) {
  const Pairs newline = {{"n", "\n"}}, emptyName = {{"ZEVRA", "P"}, {"", "<>"}},
              rescan = {{"A", "\\ZEVRA\\\\"}, {"ZEVRA", "P"}},
              shortFirst = {{"WIN", "w"}, {"WINDOWS", "W"}},
              longFirst = {{"WINDOWS", "W"}, {"WIN", "w"}};
  const struct Case {
    const char* what;
    Pairs pairs;
    std::string text, want;
  } cases[] = {
      {"a keyword", kEngine, "\\ZEVRA\\A.DLL", "C:\\PROD\\A.DLL"},
      {"in any case", kEngine, "\\zevra", "C:\\PROD"},
      {"another keyword", kEngine, "\\WINDOWS\\SYSTEM\\B.DRV", "C:\\WIN\\SYSTEM\\B.DRV"},
      {"a prefix match", kEngine, "x\\WINDOWSX", "xC:\\WINX"},
      {"no whole keyword", kEngine, "\\ZEVR", "\\ZEVR"},
      {"a doubled escape collapses", kEngine, "\\\\ZEVRA", "\\ZEVRA"},
      {"a doubled escape, then a keyword", kEngine, "\\\\\\ZEVRA", "\\C:\\PROD"},
      {"two doubled escapes", kEngine, "\\\\\\\\ZEVRA", "\\\\ZEVRA"},
      {"an unknown name stays", kEngine, "\\OTHER", "\\OTHER"},
      {"a final escape stays", kEngine, "end\\", "end\\"},
      {"a final doubled escape collapses", kEngine, "end\\\\", "end\\"},
      {"a NUL is an ordinary byte", kEngine, std::string("a\\\\\0\\\\", 5),
       std::string("a\\\0\\", 4)},
      {"an empty list still collapses", {}, "a\\\\b\\c", "a\\b\\c"},
      {"catalog line breaks", newline, "Line1\\nLine2", "Line1\nLine2"},
      {"a line break before a word", newline, "\\Network", "\network"},
      {"a doubled escape before n", newline, "\\\\n", "\\n"},
      {"an empty name matches every undoubled escape", emptyName, "\\ZEVRA\\a\\\\b\\", "P<>a\\b<>"},
      {"inserted values are not rescanned", rescan, "\\A\\ZEVRA", "\\ZEVRA\\\\P"},
      {"the first matching pair wins", shortFirst, "\\WINDOWS", "wDOWS"},
      {"the first matching pair wins, the longer first", longFirst, "\\WINDOWS\\WIN", "Ww"},
  };
  for (const Case& c : cases) {
    SubstituteClass list = listOf(c.pairs);
    EXPECT_EQ(substituted(list, c.text), c.want) << c.what;
  }
  SubstituteClass percent = listOf({{"P", "\\"}}, '%');
  EXPECT_EQ(substituted(percent, "%p%%P\\%"), "\\%P\\%") << "another escape character";
}

TEST(SubstituteTest, LongNamesAndValuesAreKeptWhole) {
  const std::string name(100, 'K');
  const std::string value = "C:\\" + std::string(300, 'v');
  SubstituteClass list('\\');
  EXPECT_EQ(list.addPair(name, value), 1);
  EXPECT_EQ(substituted(list, "<\\" + name + ">"), "<" + value + ">");
  EXPECT_EQ(substituted(list, "\\" + name.substr(1)), "\\" + name.substr(1));
  SubstitutePair pair;
  ASSERT_EQ(list.getFirst(&pair), 1);
  EXPECT_EQ(pair.name, name);
  EXPECT_EQ(pair.value, value);
}

// ---- cursor

std::string currentName(const SubstituteClass& list) {
  SubstitutePair pair;
  return list.getCurrent(&pair) ? pair.name : "<none>";
}

TEST(SubstituteCursorTest, AnEmptyListHasNoCursor) {
  SubstituteClass list('\\');
  SubstitutePair pair{"keep", "me"};
  EXPECT_EQ(list.first(), 0);
  EXPECT_EQ(list.last(), 0);
  EXPECT_EQ(list.next(), 0);
  EXPECT_EQ(list.getFirst(&pair), 0);
  EXPECT_EQ(list.getLast(&pair), 0);
  EXPECT_EQ(list.getNext(&pair), 0);
  EXPECT_EQ(list.getCurrent(&pair), 0);
  EXPECT_EQ(pair.name, "keep");
}

TEST(SubstituteCursorTest, WalksThePairsInOrder) {
  SubstituteClass list('\\');
  for (const char* name : {"A", "B", "C"}) list.addPair(name, std::string("v") + name);
  SubstitutePair pair;
  EXPECT_EQ(list.next(), 0) << "no cursor yet";
  EXPECT_EQ(currentName(list), "<none>");
  ASSERT_EQ(list.getFirst(&pair), 1);
  EXPECT_EQ(pair.name, "A");
  EXPECT_EQ(pair.value, "vA");
  ASSERT_EQ(list.getNext(&pair), 1);
  EXPECT_EQ(pair.value, "vB");
  ASSERT_EQ(list.getNext(&pair), 1);
  EXPECT_EQ(pair.name, "C");
  pair = SubstitutePair{"x", "y"};
  EXPECT_EQ(list.getNext(&pair), 0);
  EXPECT_EQ(pair.name, "x");
  EXPECT_EQ(currentName(list), "C") << "next at the end leaves the cursor";
  EXPECT_EQ(list.first(), 1);
  EXPECT_EQ(list.next(), 1);
  EXPECT_EQ(currentName(list), "B");
  ASSERT_EQ(list.getLast(&pair), 1);
  EXPECT_EQ(pair.name, "C");
}

TEST(SubstituteCursorTest, SubstituteLeavesTheCursorWhereItsWalkEnded) {
  SubstituteClass list = listOf({{"A", "v"}, {"B", "v"}, {"C", "v"}});
  const std::pair<const char*, const char*> steps[] = {
      {"\\\\ no keyword", "<none>"},
      {"x\\B", "B"},  // the matching pair
      {"\\Z", "C"},   // the last pair when none matched
      {"\\A plain", "A"},
  };
  for (const auto& [text, current] : steps) {
    std::string line = text;
    list.substitute(line);
    EXPECT_EQ(currentName(list), current) << text;
  }
}

// ---- copyContents

TEST(FileCopyTest, CopyContentsMovesTheRestOfTheSource) {
  std::string from(3 * 4096 + 7, '\0');
  for (size_t i = 0; i < from.size(); ++i) from[i] = static_cast<char>(i * 7);
  std::string to = "old";
  MemoryFile source(&from), destination(&to);
  char skip[5];
  ASSERT_EQ(source.read(skip, sizeof skip), 5);
  copyContents(source, "S", destination, "D");
  EXPECT_EQ(to, from.substr(5));
}

TEST(FileCopyTest, CopyContentsRaisesWithThePathConcerned) {
  std::string from(5000, 'a'), to;
  MemoryFile source(&from), full(&to, 4096);
  try {
    copyContents(source, "S", full, "D");
    ADD_FAILURE() << "no Error";
  } catch (const Error& e) {
    EXPECT_EQ(e.code, 23);
    EXPECT_EQ(e.message, "D");
    EXPECT_EQ(e.file, kUnitFiles);
  }
  EXPECT_EQ(to.size(), 4096u);
  class Unreadable : public MemoryFile {
   public:
    using MemoryFile::MemoryFile;
    int64_t read(void*, size_t) override { return -1; }
  } broken(&from);
  try {
    copyContents(broken, "S", full, "D");
    ADD_FAILURE() << "no Error";
  } catch (const Error& e) {
    EXPECT_EQ(e.code, 24);
    EXPECT_EQ(e.message, "S");
  }
}

// ---- substituteInFile

// A file forwarding to another, with the faults its opener chose.
class FaultyFile : public File {
 public:
  explicit FaultyFile(std::unique_ptr<File> file) : file_(std::move(file)) {}
  int64_t read(void* buffer, size_t count) override {
    return failRead ? -1 : file_->read(buffer, count);
  }
  int64_t write(const void* data, size_t count) override {
    if (failWrite) return -1;
    return file_->write(data, shortWrite && count > 0 ? count - 1 : count);
  }
  bool seekToStart() override { return file_->seekToStart(); }
  bool getStamp(DosStamp* stamp) override {
    if (fakeStamp) *stamp = *fakeStamp;
    return !failGetStamp && (fakeStamp || file_->getStamp(stamp));
  }
  bool setStamp(const DosStamp& stamp) override { return !failSetStamp && file_->setStamp(stamp); }
  bool close() override { return file_->close(); }

  bool failRead = false, failWrite = false, shortWrite = false, failGetStamp = false,
       failSetStamp = false;
  const DosStamp* fakeStamp = nullptr;

 private:
  std::unique_ptr<File> file_;
};

// The machine with a TEMP of the test's choosing, recording the
// names opened and injecting faults by role: the temporary file written
// (kWrite), read back (kRead in the TEMP directory), and the new file
// beside the target (kCreateNew).
class TempPlatform : public PlatformWrapper {
 public:
  using PlatformWrapper::PlatformWrapper;
  bool tempVariable(std::string* value) override {
    if (!tempSet) return false;
    *value = temp;
    return true;
  }
  std::unique_ptr<File> open(const std::string& path, FileMode mode) override {
    opened.push_back({path, mode});
    const bool readBack = mode == FileMode::kRead && tempSet && !temp.empty() &&
                          path.compare(0, temp.size(), temp) == 0;
    if (mode == FileMode::kWrite && failCreateTemp) return nullptr;
    if (readBack && failOpenTemp) return nullptr;
    if (mode == FileMode::kCreateNew && failCreateNew) return nullptr;
    std::unique_ptr<File> file = target().open(path, mode);
    if (!file) return file;
    auto faulty = std::make_unique<FaultyFile>(std::move(file));
    if (mode == FileMode::kWrite) faulty->failWrite = failWriteTemp;
    if (readBack) {
      faulty->failRead = failReadTemp;
      faulty->failGetStamp = failTempStamp;
      faulty->fakeStamp = tempStamp;
    }
    if (mode == FileMode::kCreateNew) {
      faulty->shortWrite = shortWriteNew;
      faulty->failSetStamp = failSetStamp;
    }
    return faulty;
  }
  bool renameReplacing(const std::string& from, const std::string& to) override {
    return !failRename && target().renameReplacing(from, to);
  }
  // No name is left for templates that contain this.
  std::string makeUniqueName(const std::string& pattern) override {
    if (!takenNames.empty() && pattern.find(takenNames) != std::string::npos) return "";
    return PlatformWrapper::makeUniqueName(pattern);
  }
  std::string openedAs(FileMode mode) const {
    for (const auto& o : opened) {
      if (o.second == mode) return o.first;
    }
    return "<none>";
  }

  bool tempSet = true;
  std::string temp;
  std::string takenNames;
  std::vector<std::pair<std::string, FileMode>> opened;
  bool failCreateTemp = false, failWriteTemp = false, failOpenTemp = false, failReadTemp = false,
       failTempStamp = false, failCreateNew = false, shortWriteNew = false, failSetStamp = false,
       failRename = false;
  const DosStamp* tempStamp = nullptr;
};

class SubstituteFileTest : public ::testing::Test {
 protected:
  SubstituteFileTest() : machine_(tp_.platform()) {
    previous_ = Platform::setCurrent(&machine_);
    tempDir_ = tp_.scratchDir() + "\\TMP";
    tp_.platform().createDir(tempDir_);
    machine_.temp = tempDir_;
  }
  ~SubstituteFileTest() override { Platform::setCurrent(previous_); }

  std::string path(const std::string& name) const { return tp_.scratchDir() + "\\" + name; }
  void writeFile(const std::string& name, const std::string& bytes) {
    std::unique_ptr<File> f = tp_.platform().open(path(name), FileMode::kWrite);
    ASSERT_TRUE(f);
    ASSERT_EQ(f->write(bytes.data(), bytes.size()), static_cast<int64_t>(bytes.size()));
  }
  std::string readFile(const std::string& name) {
    std::unique_ptr<File> f = tp_.platform().open(path(name), FileMode::kRead);
    if (!f) return "<missing>";
    std::string out;
    char buf[512];
    for (int64_t n; (n = f->read(buf, sizeof buf)) > 0;) out.append(buf, static_cast<size_t>(n));
    return out;
  }
  // The names in the scratch directory, sorted, then "|" and the TEMP
  // directory's names.
  std::string leftovers() {
    std::string out;
    for (const std::string& dir : {tp_.scratchDir(), tempDir_}) {
      std::vector<DirEntry> entries;
      tp_.platform().listDir(dir, &entries);
      std::vector<std::string> names;
      for (const DirEntry& e : entries) names.push_back(e.name);
      std::sort(names.begin(), names.end());
      for (const std::string& n : names) out += n + " ";
      if (dir != tempDir_) out += "|";
    }
    return out;
  }
  int substituteFile(const std::string& name) {
    SubstituteClass list = listOf(kEngine);
    return list.substituteInFile(path(name));
  }

  MemoryTestPlatform tp_;
  TempPlatform machine_;
  Platform* previous_ = nullptr;
  std::string tempDir_;
};

TEST_F(SubstituteFileTest, AMissingFileIsLeftAloneAndNothingIsCreated) {
  EXPECT_EQ(substituteFile("NONE.TXT"), 0);
  EXPECT_EQ(leftovers(), "TMP |");
  EXPECT_EQ(machine_.openedAs(FileMode::kWrite), "<none>");
}

TEST_F(SubstituteFileTest, RewritesPiecesAsTextWithCrLf) {
  const std::string x505(505, 'x'), x506(506, 'x');
  static const char kTail[] =
      "\\ZEVRA \\ZEVRA\r\nn\0ul\r\nend\x1A"
      "ignored\r\n";
  writeFile("F.TXT", std::string("Dir=\\ZEVRA\\A.DLL\r\nwin=\\windows\\SYSTEM\nLit=\\\\ZEVRA\r\r\n"
                                 "a\rb\r\n") +
                         x505 + "\\ZEVRA\r\n" + x506 + std::string(kTail, sizeof kTail - 1));
  ASSERT_EQ(substituteFile("F.TXT"), 1);
  // A keyword ending at character 511 is replaced, one ending at 512 is
  // cut into two pieces and stays; a NUL is kept.
  EXPECT_EQ(readFile("F.TXT"),
            "Dir=C:\\PROD\\A.DLL\r\nwin=C:\\WIN\\SYSTEM\r\nLit=\\ZEVRA\r\r\na\rb\r\n" + x505 +
                "C:\\PROD\r\n" + x506 + std::string("\\ZEVRA C:\\PROD\r\nn\0ul\r\nend", 25));
  const std::string temp = machine_.openedAs(FileMode::kWrite);
  EXPECT_EQ(temp.size(), tempDir_.size() + 9);
  EXPECT_EQ(temp.substr(0, tempDir_.size() + 3), tempDir_ + "\\ZV");
  EXPECT_EQ(machine_.openedAs(FileMode::kCreateNew).substr(0, path("ZS").size()), path("ZS"));
  EXPECT_EQ(leftovers(), "F.TXT TMP |");
}

TEST_F(SubstituteFileTest, TheResultCarriesTheTemporaryFilesStamp) {
  const DosStamp stamp{(4 << 11) | (5 << 5) | 3, ((2001 - 1980) << 9) | (2 << 5) | 3};
  machine_.tempStamp = &stamp;
  writeFile("F.TXT", "\\ZEVRA\n");
  ASSERT_EQ(substituteFile("F.TXT"), 1);
  std::unique_ptr<File> f = tp_.platform().open(path("F.TXT"), FileMode::kRead);
  ASSERT_TRUE(f);
  DosStamp got;
  ASSERT_TRUE(f->getStamp(&got));
  EXPECT_EQ(got.date, stamp.date);
  EXPECT_EQ(got.time, stamp.time);
}

TEST_F(SubstituteFileTest, AFailureLeavesTheFileAsItWas) {
  struct Case {
    const char* what;
    bool TempPlatform::*fault;
    int code;        // of the Error raised; 0: none, the call returns 0
    bool namesTemp;  // else the message is the target
  };
  const Case cases[] = {{"open the temporary file", &TempPlatform::failOpenTemp, 20, true},
                        {"its stamp", &TempPlatform::failTempStamp, 28, true},
                        {"read it", &TempPlatform::failReadTemp, 24, true},
                        {"write the new file", &TempPlatform::shortWriteNew, 23, false},
                        {"stamp the new file", &TempPlatform::failSetStamp, 27, false},
                        {"create the temporary file", &TempPlatform::failCreateTemp, 0, false},
                        {"write it", &TempPlatform::failWriteTemp, 0, false},
                        {"create the new file", &TempPlatform::failCreateNew, 0, false},
                        {"rename", &TempPlatform::failRename, 0, false}};
  const std::string original = "keep \\ZEVRA\r\n";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    writeFile("F.TXT", original);
    machine_.opened.clear();
    machine_.*c.fault = true;
    try {
      EXPECT_EQ(substituteFile("F.TXT"), 0);
      EXPECT_EQ(c.code, 0) << "no Error";
    } catch (const Error& e) {
      EXPECT_EQ(e.code, c.code);
      EXPECT_EQ(e.message, c.namesTemp ? machine_.openedAs(FileMode::kWrite) : path("F.TXT"));
      EXPECT_EQ(e.file, kUnitFiles);
    }
    machine_.*c.fault = false;
    EXPECT_EQ(readFile("F.TXT"), original);
    EXPECT_EQ(leftovers(), "F.TXT TMP |");
  }
}

TEST_F(SubstituteFileTest, WithoutAFreeNameBesideTheFileNothingChanges) {
  writeFile("F.TXT", "\\ZEVRA");
  machine_.takenNames = "\\ZS";
  EXPECT_EQ(substituteFile("F.TXT"), 0);
  EXPECT_EQ(readFile("F.TXT"), "\\ZEVRA");
  EXPECT_EQ(leftovers().substr(leftovers().find('|')), "|") << "the temporary file is gone";
}

TEST_F(SubstituteFileTest, TheTemporaryDirectoryComesFromTemp) {
  writeFile("F.TXT", "\\ZEVRA");
  // The root is never written: creating the temporary file fails.
  machine_.failCreateTemp = true;
  struct Case {
    bool set;
    std::string value;
    std::string dir;
  };
  const Case cases[] = {{false, "", "\\"},
                        {true, "", "\\"},
                        {true, tempDir_ + "\\MISSING", "\\"},
                        {true, tempDir_, tempDir_ + "\\"},
                        {true, tempDir_ + "\\", tempDir_ + "\\"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    machine_.tempSet = c.set;
    machine_.temp = c.value;
    machine_.opened.clear();
    EXPECT_EQ(substituteFile("F.TXT"), 0);
    const std::string temp = machine_.openedAs(FileMode::kWrite);
    EXPECT_EQ(temp.size(), c.dir.size() + 8);
    EXPECT_EQ(temp.substr(0, c.dir.size() + 2), c.dir + "ZV");
  }
  EXPECT_EQ(readFile("F.TXT"), "\\ZEVRA");
  EXPECT_EQ(leftovers(), "F.TXT TMP |");
}

}  // namespace
}  // namespace zv
