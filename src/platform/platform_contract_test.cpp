// What every platform must do alike: these run against the simulated
// machine on Linux, against the real system under Windows, and against the
// in-memory platform of the unit tests on both.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <type_traits>

#include "platform/platform.h"
#include "platform/stream.h"
#include "platform/testing/memory_platform.h"
#include "platform/testing/test_platform.h"
#include "platform/text_file.h"

namespace zv {
namespace {

template <typename TP>
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

  TP tp_;
  Platform* previous_ = nullptr;
};

// The target's own platform (the simulated machine, or the real system)
// and the in-memory one the unit tests run on.
using Platforms = ::testing::Types<TestPlatform, MemoryTestPlatform>;
class PlatformNames {
 public:
  template <typename TP>
  static std::string GetName(int) {
    return std::is_same<TP, MemoryTestPlatform>::value ? "Memory" : "Host";
  }
};
TYPED_TEST_SUITE(PlatformContractTest, Platforms, PlatformNames);

TYPED_TEST(PlatformContractTest, OpenModes) {
  EXPECT_FALSE(this->p().open(this->path("missing.txt"), FileMode::kRead));

  std::unique_ptr<File> created = this->p().open(this->path("new.txt"), FileMode::kCreateNew);
  ASSERT_TRUE(created);
  EXPECT_EQ(created->write("abc", 3), 3);
  EXPECT_TRUE(created->close());
  EXPECT_TRUE(created->close()) << "closing twice is harmless";
  created.reset();
  EXPECT_FALSE(this->p().open(this->path("new.txt"), FileMode::kCreateNew))
      << "create-new must not reopen";
  EXPECT_EQ(this->readFile("new.txt"), "abc");

  std::unique_ptr<File> appended = this->p().open(this->path("new.txt"), FileMode::kAppend);
  ASSERT_TRUE(appended);
  EXPECT_EQ(appended->write("de", 2), 2);
  appended.reset();
  EXPECT_EQ(this->readFile("new.txt"), "abcde");

  this->writeFile("new.txt", "x");
  EXPECT_EQ(this->readFile("new.txt"), "x") << "write mode truncates";

  std::unique_ptr<File> reader = this->p().open(this->path("new.txt"), FileMode::kRead);
  char c[4];
  EXPECT_EQ(reader->read(c, 4), 1);
  EXPECT_EQ(reader->read(c, 4), 0);
  ASSERT_TRUE(reader->seekToStart());
  EXPECT_EQ(reader->read(c, 4), 1);
}

TYPED_TEST(PlatformContractTest, StatusExistenceAndDirectories) {
  this->writeFile("f.bin", std::string(1234, 'z'));
  FileStatus st;
  ASSERT_TRUE(this->p().stat(this->path("f.bin"), &st));
  EXPECT_EQ(st.size, 1234);
  EXPECT_FALSE(st.isDirectory);
  EXPECT_GT(st.modifiedNs, 0);
  EXPECT_FALSE(this->p().stat(this->path("nothing"), &st));

  EXPECT_TRUE(this->p().createDir(this->path("SUB")));
  EXPECT_FALSE(this->p().createDir(this->path("SUB"))) << "an existing directory is a failure";
  EXPECT_FALSE(this->p().createDir(this->path("NO\\SUCH\\PARENT")));
  ASSERT_TRUE(this->p().stat(this->path("SUB"), &st));
  EXPECT_TRUE(st.isDirectory);
  EXPECT_TRUE(this->p().exists(this->path("SUB")));
  EXPECT_TRUE(this->p().exists(this->path("f.bin")));
  EXPECT_FALSE(this->p().exists(this->path("g.bin")));

  std::vector<DirEntry> entries;
  ASSERT_TRUE(this->p().listDir(this->tp_.scratchDir(), &entries));
  std::sort(entries.begin(), entries.end(),
            [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].name, "SUB");
  EXPECT_TRUE(entries[0].isDirectory);
  EXPECT_EQ(entries[1].name, "f.bin");
  EXPECT_FALSE(entries[1].isDirectory);
  EXPECT_FALSE(this->p().listDir(this->path("nothing"), &entries));
}

TYPED_TEST(PlatformContractTest, NamesAreFoundWithoutRegardToCase) {
  this->writeFile("MixedCase.Txt", "m");
  EXPECT_TRUE(this->p().exists(this->path("MIXEDCASE.TXT")));
  EXPECT_EQ(this->readFile("mixedcase.txt"), "m");
  this->writeFile("MIXEDCASE.TXT", "n");  // the same file, not a second one
  std::vector<DirEntry> entries;
  ASSERT_TRUE(this->p().listDir(this->tp_.scratchDir(), &entries));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, "MixedCase.Txt");
  EXPECT_EQ(this->readFile("MixedCase.Txt"), "n");
}

TYPED_TEST(PlatformContractTest, DeleteAndRename) {
  this->writeFile("a.txt", "A");
  this->writeFile("b.txt", "B");
  EXPECT_TRUE(this->p().renameReplacing(this->path("a.txt"), this->path("b.txt")));
  EXPECT_FALSE(this->p().exists(this->path("a.txt")));
  EXPECT_EQ(this->readFile("b.txt"), "A");
  EXPECT_TRUE(this->p().renameReplacing(this->path("b.txt"), this->path("c.txt")));
  EXPECT_EQ(this->readFile("c.txt"), "A");
  // A rename to a new name never replaces a file.
  this->writeFile("d.txt", "D");
  EXPECT_FALSE(this->p().renameNoReplace(this->path("c.txt"), this->path("d.txt")));
  EXPECT_EQ(this->readFile("c.txt"), "A");
  EXPECT_EQ(this->readFile("d.txt"), "D");
  EXPECT_TRUE(this->p().deleteFile(this->path("d.txt")));
  EXPECT_TRUE(this->p().renameNoReplace(this->path("c.txt"), this->path("d.txt")));
  EXPECT_FALSE(this->p().exists(this->path("c.txt")));
  EXPECT_EQ(this->readFile("d.txt"), "A");
  EXPECT_TRUE(this->p().renameReplacing(this->path("d.txt"), this->path("c.txt")));
  EXPECT_TRUE(this->p().deleteFile(this->path("c.txt")));
  EXPECT_FALSE(this->p().exists(this->path("c.txt")));
  EXPECT_FALSE(this->p().deleteFile(this->path("c.txt")));
  ASSERT_TRUE(this->p().createDir(this->path("D")));
  EXPECT_FALSE(this->p().deleteFile(this->path("D"))) << "directories are not files";
}

TYPED_TEST(PlatformContractTest, DosStampsSetAndReadBack) {
  this->writeFile("s.txt", "s");
  // 1999-05-27 21:15:54 local time.
  DosStamp stamp{static_cast<uint16_t>((21 << 11) | (15 << 5) | 27),
                 static_cast<uint16_t>((19 << 9) | (5 << 5) | 27)};
  {
    std::unique_ptr<File> f = this->p().open(this->path("s.txt"), FileMode::kRead);
    ASSERT_TRUE(f);
    DosStamp now;
    ASSERT_TRUE(f->getStamp(&now));
    EXPECT_GE(now.date >> 9, 2024 - 1980) << "a new file carries today's date";
  }
  FileStatus before, after;
  ASSERT_TRUE(this->p().stat(this->path("s.txt"), &before));
  {
    std::unique_ptr<File> f = this->p().open(this->path("s.txt"), FileMode::kAppend);
    ASSERT_TRUE(f);
    ASSERT_TRUE(f->setStamp(stamp));
  }
  ASSERT_TRUE(this->p().stat(this->path("s.txt"), &after));
  EXPECT_LT(after.modifiedNs, before.modifiedNs);
  std::unique_ptr<File> f = this->p().open(this->path("s.txt"), FileMode::kRead);
  DosStamp read;
  ASSERT_TRUE(f->getStamp(&read));
  EXPECT_EQ(read.time, stamp.time);
  EXPECT_EQ(read.date, stamp.date);
}

TYPED_TEST(PlatformContractTest, UniqueNamesFollowMktemp) {
  std::string pattern = this->path("ZVXXXXXX");
  std::string first = this->p().makeUniqueName(pattern);
  ASSERT_EQ(first.size(), pattern.size());
  EXPECT_EQ(first.substr(0, first.size() - 6), pattern.substr(0, pattern.size() - 6));
  EXPECT_EQ(first.find('X', first.size() - 6), std::string::npos);
  EXPECT_FALSE(this->p().exists(first));
  std::unique_ptr<File> taken = this->p().open(first, FileMode::kCreateNew);
  ASSERT_TRUE(taken);
  taken.reset();
  std::string second = this->p().makeUniqueName(pattern);
  EXPECT_NE(second, first);
  EXPECT_FALSE(this->p().exists(second));
  EXPECT_EQ(this->p().makeUniqueName(this->path("noXs")), "");
}

TYPED_TEST(PlatformContractTest, TextFilesHaveTheSameBytesEverywhere) {
  {
    std::unique_ptr<Stream> s = Stream::open(this->path("t.log"), FileMode::kWrite);
    ASSERT_TRUE(s);
    TextWriter w(*s);
    ASSERT_TRUE(w.write("line 1\nline 2\n"));
  }
  EXPECT_EQ(this->readFile("t.log"), "line 1\r\nline 2\r\n");
  std::unique_ptr<Stream> s = Stream::open(this->path("t.log"), FileMode::kRead);
  TextReader r(*s, TextRules{});
  std::string piece;
  ASSERT_TRUE(r.readPiece(512, &piece));
  EXPECT_EQ(piece, "line 1\n");
}

template <typename TP>
class RegistryContractTest : public PlatformContractTest<TP> {
 protected:
  void SetUp() override {
    ASSERT_EQ(this->p().regCreateKey(kHkeyCurrentUser, this->tp_.scratchKey(), &root_),
              kErrorSuccess);
  }
  void TearDown() override { this->p().regCloseKey(root_); }
  RegKey root_ = 0;
};

TYPED_TEST_SUITE(RegistryContractTest, Platforms, PlatformNames);

TYPED_TEST(RegistryContractTest, CreateSetQueryDelete) {
  RegKey key;
  ASSERT_EQ(this->p().regCreateKey(this->root_, "Vendor\\App", &key), kErrorSuccess);
  ASSERT_EQ(this->p().regSetString(key, "Name", "Text"), kErrorSuccess);
  ASSERT_EQ(this->p().regSetString(key, "", "unnamed"), kErrorSuccess);
  this->p().regCloseKey(key);

  ASSERT_EQ(this->p().regOpenKey(this->root_, "VENDOR\\app", RegAccess::kRead, &key),
            kErrorSuccess);
  uint32_t type = 0, size = 0;
  ASSERT_EQ(this->p().regQueryValue(key, "name", &type, nullptr, &size), kErrorSuccess);
  EXPECT_EQ(type, kRegSz);
  EXPECT_EQ(size, 5u) << "the terminating NUL is stored";
  char buf[256];
  size = 2;
  EXPECT_EQ(this->p().regQueryValue(key, "Name", &type, buf, &size), kErrorMoreData);
  EXPECT_EQ(size, 5u);
  size = sizeof buf;
  ASSERT_EQ(this->p().regQueryValue(key, "Name", &type, buf, &size), kErrorSuccess);
  EXPECT_STREQ(buf, "Text");
  size = sizeof buf;
  ASSERT_EQ(this->p().regQueryValue(key, "", &type, buf, &size), kErrorSuccess);
  EXPECT_STREQ(buf, "unnamed");
  size = sizeof buf;
  EXPECT_EQ(this->p().regQueryValue(key, "Other", &type, buf, &size), kErrorFileNotFound);
  this->p().regCloseKey(key);

  ASSERT_EQ(this->p().regOpenKey(this->root_, "Vendor\\App", RegAccess::kAllAccess, &key),
            kErrorSuccess);
  EXPECT_EQ(this->p().regDeleteValue(key, "NAME"), kErrorSuccess);
  EXPECT_EQ(this->p().regDeleteValue(key, "Name"), kErrorFileNotFound);
  size = sizeof buf;
  EXPECT_EQ(this->p().regQueryValue(key, "Name", &type, buf, &size), kErrorFileNotFound);
  EXPECT_EQ(this->p().regDeleteKey(key, ""), kErrorSuccess) << "an open key deletes itself";
  this->p().regCloseKey(key);
  EXPECT_EQ(this->p().regOpenKey(this->root_, "Vendor\\App", RegAccess::kRead, &key),
            kErrorFileNotFound);
  EXPECT_EQ(this->p().regOpenKey(this->root_, "Vendor", RegAccess::kRead, &key), kErrorSuccess);
  this->p().regCloseKey(key);
}

TYPED_TEST(RegistryContractTest, EnumerateSubkeys) {
  for (const char* name : {"c", "a", "B", "a-name-of-exactly-fifty-characters-xxxxxxxxxxxxxxx"}) {
    RegKey k;
    ASSERT_EQ(this->p().regCreateKey(this->root_, name, &k), kErrorSuccess);
    this->p().regCloseKey(k);
  }
  uint32_t count = 0;
  ASSERT_EQ(this->p().regQuerySubkeyCount(this->root_, &count), kErrorSuccess);
  EXPECT_EQ(count, 4u);

  std::vector<std::string> names;
  long result = kErrorSuccess;
  for (uint32_t i = 0;; ++i) {
    char name[50];
    uint32_t size = sizeof name;
    result = this->p().regEnumKey(this->root_, i, name, &size);
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
    result = this->p().regEnumKey(this->root_, i, name, &size);
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
    if (this->p().regEnumKey(this->root_, 0, name, &size) != kErrorSuccess) break;
    RegKey k;
    ASSERT_EQ(this->p().regOpenKey(this->root_, name, RegAccess::kAllAccess, &k), kErrorSuccess);
    ASSERT_EQ(this->p().regDeleteKey(k, ""), kErrorSuccess);
    this->p().regCloseKey(k);
  }
  ASSERT_EQ(this->p().regQuerySubkeyCount(this->root_, &count), kErrorSuccess);
  EXPECT_EQ(count, 0u);
}

}  // namespace
}  // namespace zv
