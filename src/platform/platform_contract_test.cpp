// What every platform must do alike: these run against the simulated
// machine on Linux and against the real system under Windows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "platform/platform.h"
#include "platform/stream.h"
#include "platform/testing/test_platform.h"
#include "platform/text_file.h"

namespace zv {
namespace {

class PlatformContractTest : public ::testing::Test {
 protected:
  PlatformContractTest() { previous_ = Platform::setCurrent(&tp_.platform()); }
  ~PlatformContractTest() override { Platform::setCurrent(previous_); }

  Platform& p() { return tp_.platform(); }
  std::string path(const std::string& name) { return tp_.scratchDir() + "\\" + name; }

  void writeFile(const std::string& name, const std::string& content) {
    std::unique_ptr<File> f = p().open(path(name), FileMode::kWrite);
    ASSERT_TRUE(f);
    ASSERT_EQ(f->write(content.data(), content.size()), static_cast<int64_t>(content.size()));
  }
  std::string readFile(const std::string& name) {
    std::unique_ptr<File> f = p().open(path(name), FileMode::kRead);
    if (!f) return "<missing>";
    std::string out;
    char buf[64];
    for (int64_t n; (n = f->read(buf, sizeof buf)) > 0;) out.append(buf, static_cast<size_t>(n));
    return out;
  }

  TestPlatform tp_;
  Platform* previous_ = nullptr;
};

TEST_F(PlatformContractTest, OpenModes) {
  EXPECT_FALSE(p().open(path("missing.txt"), FileMode::kRead));

  std::unique_ptr<File> created = p().open(path("new.txt"), FileMode::kCreateNew);
  ASSERT_TRUE(created);
  EXPECT_EQ(created->write("abc", 3), 3);
  EXPECT_TRUE(created->close());
  EXPECT_TRUE(created->close()) << "closing twice is harmless";
  created.reset();
  EXPECT_FALSE(p().open(path("new.txt"), FileMode::kCreateNew)) << "create-new must not reopen";
  EXPECT_EQ(readFile("new.txt"), "abc");

  std::unique_ptr<File> appended = p().open(path("new.txt"), FileMode::kAppend);
  ASSERT_TRUE(appended);
  EXPECT_EQ(appended->write("de", 2), 2);
  appended.reset();
  EXPECT_EQ(readFile("new.txt"), "abcde");

  writeFile("new.txt", "x");
  EXPECT_EQ(readFile("new.txt"), "x") << "write mode truncates";

  std::unique_ptr<File> reader = p().open(path("new.txt"), FileMode::kRead);
  char c[4];
  EXPECT_EQ(reader->read(c, 4), 1);
  EXPECT_EQ(reader->read(c, 4), 0);
  ASSERT_TRUE(reader->seekToStart());
  EXPECT_EQ(reader->read(c, 4), 1);
}

TEST_F(PlatformContractTest, StatusExistenceAndDirectories) {
  writeFile("f.bin", std::string(1234, 'z'));
  FileStatus st;
  ASSERT_TRUE(p().stat(path("f.bin"), &st));
  EXPECT_EQ(st.size, 1234);
  EXPECT_FALSE(st.isDirectory);
  EXPECT_GT(st.modifiedNs, 0);
  EXPECT_FALSE(p().stat(path("nothing"), &st));

  EXPECT_TRUE(p().createDir(path("SUB")));
  EXPECT_FALSE(p().createDir(path("SUB"))) << "an existing directory is a failure";
  EXPECT_FALSE(p().createDir(path("NO\\SUCH\\PARENT")));
  ASSERT_TRUE(p().stat(path("SUB"), &st));
  EXPECT_TRUE(st.isDirectory);
  EXPECT_TRUE(p().exists(path("SUB")));
  EXPECT_TRUE(p().exists(path("f.bin")));
  EXPECT_FALSE(p().exists(path("g.bin")));

  std::vector<DirEntry> entries;
  ASSERT_TRUE(p().listDir(tp_.scratchDir(), &entries));
  std::sort(entries.begin(), entries.end(),
            [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].name, "SUB");
  EXPECT_TRUE(entries[0].isDirectory);
  EXPECT_EQ(entries[1].name, "f.bin");
  EXPECT_FALSE(entries[1].isDirectory);
  EXPECT_FALSE(p().listDir(path("nothing"), &entries));
}

TEST_F(PlatformContractTest, NamesAreFoundWithoutRegardToCase) {
  writeFile("MixedCase.Txt", "m");
  EXPECT_TRUE(p().exists(path("MIXEDCASE.TXT")));
  EXPECT_EQ(readFile("mixedcase.txt"), "m");
  writeFile("MIXEDCASE.TXT", "n");  // the same file, not a second one
  std::vector<DirEntry> entries;
  ASSERT_TRUE(p().listDir(tp_.scratchDir(), &entries));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, "MixedCase.Txt");
  EXPECT_EQ(readFile("MixedCase.Txt"), "n");
}

TEST_F(PlatformContractTest, DeleteAndRename) {
  writeFile("a.txt", "A");
  writeFile("b.txt", "B");
  EXPECT_TRUE(p().renameReplacing(path("a.txt"), path("b.txt")));
  EXPECT_FALSE(p().exists(path("a.txt")));
  EXPECT_EQ(readFile("b.txt"), "A");
  EXPECT_TRUE(p().renameReplacing(path("b.txt"), path("c.txt")));
  EXPECT_EQ(readFile("c.txt"), "A");
  // A rename to a new name never replaces a file.
  writeFile("d.txt", "D");
  EXPECT_FALSE(p().renameNoReplace(path("c.txt"), path("d.txt")));
  EXPECT_EQ(readFile("c.txt"), "A");
  EXPECT_EQ(readFile("d.txt"), "D");
  EXPECT_TRUE(p().deleteFile(path("d.txt")));
  EXPECT_TRUE(p().renameNoReplace(path("c.txt"), path("d.txt")));
  EXPECT_FALSE(p().exists(path("c.txt")));
  EXPECT_EQ(readFile("d.txt"), "A");
  EXPECT_TRUE(p().renameReplacing(path("d.txt"), path("c.txt")));
  EXPECT_TRUE(p().deleteFile(path("c.txt")));
  EXPECT_FALSE(p().exists(path("c.txt")));
  EXPECT_FALSE(p().deleteFile(path("c.txt")));
  ASSERT_TRUE(p().createDir(path("D")));
  EXPECT_FALSE(p().deleteFile(path("D"))) << "directories are not files";
}

TEST_F(PlatformContractTest, DosStampsSetAndReadBack) {
  writeFile("s.txt", "s");
  // 1999-05-27 21:15:54 local time.
  DosStamp stamp{static_cast<uint16_t>((21 << 11) | (15 << 5) | 27),
                 static_cast<uint16_t>((19 << 9) | (5 << 5) | 27)};
  {
    std::unique_ptr<File> f = p().open(path("s.txt"), FileMode::kRead);
    ASSERT_TRUE(f);
    DosStamp now;
    ASSERT_TRUE(f->getStamp(&now));
    EXPECT_GE(now.date >> 9, 2024 - 1980) << "a new file carries today's date";
  }
  FileStatus before, after;
  ASSERT_TRUE(p().stat(path("s.txt"), &before));
  {
    std::unique_ptr<File> f = p().open(path("s.txt"), FileMode::kAppend);
    ASSERT_TRUE(f);
    ASSERT_TRUE(f->setStamp(stamp));
  }
  ASSERT_TRUE(p().stat(path("s.txt"), &after));
  EXPECT_LT(after.modifiedNs, before.modifiedNs);
  std::unique_ptr<File> f = p().open(path("s.txt"), FileMode::kRead);
  DosStamp read;
  ASSERT_TRUE(f->getStamp(&read));
  EXPECT_EQ(read.time, stamp.time);
  EXPECT_EQ(read.date, stamp.date);
}

TEST_F(PlatformContractTest, UniqueNamesFollowMktemp) {
  std::string pattern = path("ZVXXXXXX");
  std::string first = p().makeUniqueName(pattern);
  ASSERT_EQ(first.size(), pattern.size());
  EXPECT_EQ(first.substr(0, first.size() - 6), pattern.substr(0, pattern.size() - 6));
  EXPECT_EQ(first.find('X', first.size() - 6), std::string::npos);
  EXPECT_FALSE(p().exists(first));
  std::unique_ptr<File> taken = p().open(first, FileMode::kCreateNew);
  ASSERT_TRUE(taken);
  taken.reset();
  std::string second = p().makeUniqueName(pattern);
  EXPECT_NE(second, first);
  EXPECT_FALSE(p().exists(second));
  EXPECT_EQ(p().makeUniqueName(path("noXs")), "");
}

TEST_F(PlatformContractTest, TextFilesHaveTheSameBytesEverywhere) {
  {
    std::unique_ptr<Stream> s = Stream::open(path("t.log"), FileMode::kWrite);
    ASSERT_TRUE(s);
    TextWriter w(*s);
    ASSERT_TRUE(w.write("line 1\nline 2\n"));
  }
  EXPECT_EQ(readFile("t.log"), "line 1\r\nline 2\r\n");
  std::unique_ptr<Stream> s = Stream::open(path("t.log"), FileMode::kRead);
  TextReader r(*s, TextRules{});
  std::string piece;
  ASSERT_TRUE(r.readPiece(512, &piece));
  EXPECT_EQ(piece, "line 1\n");
}

class RegistryContractTest : public PlatformContractTest {
 protected:
  void SetUp() override {
    ASSERT_EQ(p().regCreateKey(kHkeyCurrentUser, tp_.scratchKey(), &root_), kErrorSuccess);
  }
  void TearDown() override { p().regCloseKey(root_); }
  RegKey root_ = 0;
};

TEST_F(RegistryContractTest, CreateSetQueryDelete) {
  RegKey key;
  ASSERT_EQ(p().regCreateKey(root_, "Vendor\\App", &key), kErrorSuccess);
  ASSERT_EQ(p().regSetString(key, "Name", "Text"), kErrorSuccess);
  ASSERT_EQ(p().regSetString(key, "", "unnamed"), kErrorSuccess);
  p().regCloseKey(key);

  ASSERT_EQ(p().regOpenKey(root_, "VENDOR\\app", RegAccess::kRead, &key), kErrorSuccess);
  uint32_t type = 0, size = 0;
  ASSERT_EQ(p().regQueryValue(key, "name", &type, nullptr, &size), kErrorSuccess);
  EXPECT_EQ(type, kRegSz);
  EXPECT_EQ(size, 5u) << "the terminating NUL is stored";
  char buf[256];
  size = 2;
  EXPECT_EQ(p().regQueryValue(key, "Name", &type, buf, &size), kErrorMoreData);
  EXPECT_EQ(size, 5u);
  size = sizeof buf;
  ASSERT_EQ(p().regQueryValue(key, "Name", &type, buf, &size), kErrorSuccess);
  EXPECT_STREQ(buf, "Text");
  size = sizeof buf;
  ASSERT_EQ(p().regQueryValue(key, "", &type, buf, &size), kErrorSuccess);
  EXPECT_STREQ(buf, "unnamed");
  size = sizeof buf;
  EXPECT_EQ(p().regQueryValue(key, "Other", &type, buf, &size), kErrorFileNotFound);
  p().regCloseKey(key);

  ASSERT_EQ(p().regOpenKey(root_, "Vendor\\App", RegAccess::kAllAccess, &key), kErrorSuccess);
  EXPECT_EQ(p().regDeleteValue(key, "NAME"), kErrorSuccess);
  EXPECT_EQ(p().regDeleteValue(key, "Name"), kErrorFileNotFound);
  size = sizeof buf;
  EXPECT_EQ(p().regQueryValue(key, "Name", &type, buf, &size), kErrorFileNotFound);
  EXPECT_EQ(p().regDeleteKey(key, ""), kErrorSuccess) << "an open key deletes itself";
  p().regCloseKey(key);
  EXPECT_EQ(p().regOpenKey(root_, "Vendor\\App", RegAccess::kRead, &key), kErrorFileNotFound);
  EXPECT_EQ(p().regOpenKey(root_, "Vendor", RegAccess::kRead, &key), kErrorSuccess);
  p().regCloseKey(key);
}

TEST_F(RegistryContractTest, EnumerateSubkeys) {
  for (const char* name : {"c", "a", "B", "a-name-of-exactly-fifty-characters-xxxxxxxxxxxxxxx"}) {
    RegKey k;
    ASSERT_EQ(p().regCreateKey(root_, name, &k), kErrorSuccess);
    p().regCloseKey(k);
  }
  uint32_t count = 0;
  ASSERT_EQ(p().regQuerySubkeyCount(root_, &count), kErrorSuccess);
  EXPECT_EQ(count, 4u);

  std::vector<std::string> names;
  long result = kErrorSuccess;
  for (uint32_t i = 0;; ++i) {
    char name[50];
    uint32_t size = sizeof name;
    result = p().regEnumKey(root_, i, name, &size);
    if (result != kErrorSuccess) break;
    EXPECT_EQ(size, std::strlen(name));
    names.push_back(name);
  }
  // The fifty-character name does not fit a fifty-character buffer.
  EXPECT_EQ(result, kErrorMoreData);
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(names[0], "a");

  names.clear();
  for (uint32_t i = 0;; ++i) {
    char name[64];
    uint32_t size = sizeof name;
    result = p().regEnumKey(root_, i, name, &size);
    if (result != kErrorSuccess) break;
    names.push_back(name);
  }
  EXPECT_EQ(result, kErrorNoMoreItems);
  EXPECT_EQ(names, (std::vector<std::string>{
                       "a", "a-name-of-exactly-fifty-characters-xxxxxxxxxxxxxxx", "B", "c"}));

  // Emptying a key by deleting index 0 each time, as a tree delete does.
  for (;;) {
    char name[64];
    uint32_t size = sizeof name;
    if (p().regEnumKey(root_, 0, name, &size) != kErrorSuccess) break;
    RegKey k;
    ASSERT_EQ(p().regOpenKey(root_, name, RegAccess::kAllAccess, &k), kErrorSuccess);
    ASSERT_EQ(p().regDeleteKey(k, ""), kErrorSuccess);
    p().regCloseKey(k);
  }
  ASSERT_EQ(p().regQuerySubkeyCount(root_, &count), kErrorSuccess);
  EXPECT_EQ(count, 0u);
}

}  // namespace
}  // namespace zv
