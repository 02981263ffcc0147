// What every platform must do alike: these run against the simulated
// machine on Linux, against the real system under Windows, and against the
// in-memory platform of the unit tests on both.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
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
  std::unique_ptr<File> open(const std::string& name, FileMode mode) {
    return p().open(path(name), mode);
  }
  void writeFile(const std::string& name, const std::string& content) {
    ASSERT_EQ(open(name, FileMode::kWrite)->write(content.data(), content.size()),
              static_cast<int64_t>(content.size()));
  }
  std::string readFile(const std::string& name) {
    std::unique_ptr<File> f = open(name, FileMode::kRead);
    std::string out = f ? "" : "<missing>";
    char buf[64];
    for (int64_t n; f && (n = f->read(buf, sizeof buf)) > 0;) out.append(buf, n);
    return out;
  }
  // The scratch directory's entries, sorted, "/" after a directory.
  std::string names() {
    std::vector<DirEntry> entries;
    EXPECT_TRUE(p().listDir(tp_.scratchDir(), &entries));
    std::vector<std::string> out;
    for (const DirEntry& e : entries) out.push_back(e.name + (e.isDirectory ? "/" : ""));
    std::sort(out.begin(), out.end());
    std::string joined;
    for (const std::string& name : out) joined += name + " ";
    return joined;
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

TYPED_TEST(PlatformContractTest, FilesOpenInEachMode) {
  EXPECT_FALSE(this->open("missing.txt", FileMode::kRead));
  std::unique_ptr<File> created = this->open("new.txt", FileMode::kCreateNew);
  ASSERT_TRUE(created);
  EXPECT_EQ(created->write("abc", 3), 3);
  EXPECT_TRUE(created->close());
  EXPECT_TRUE(created->close()) << "closing twice is harmless";
  EXPECT_FALSE(this->open("NEW.txt", FileMode::kCreateNew)) << "create-new must not reopen";
  char c[4];
  std::unique_ptr<File> appender = this->open("new.txt", FileMode::kAppend);
  EXPECT_EQ(appender->write("d", 1), 1);
  ASSERT_TRUE(appender->seekToStart());
  EXPECT_EQ(appender->read(c, 1), 1);
  EXPECT_EQ(appender->write("e", 1), 1) << "at the end, wherever the file pointer is";
  appender.reset();
  EXPECT_EQ(this->readFile("new.txt"), "abcde");
  this->writeFile("new.txt", "x");
  std::unique_ptr<File> reader = this->open("new.txt", FileMode::kRead);
  EXPECT_EQ(reader->read(c, 4), 1) << "write mode truncates";
  EXPECT_EQ(reader->read(c, 4), 0);
  ASSERT_TRUE(reader->seekToStart());
  EXPECT_EQ(reader->read(c, 4), 1);

  // Names are found without regard to case and keep their own.
  this->writeFile("MixedCase.Txt", "m");
  this->writeFile("MIXEDCASE.TXT", "n");
  EXPECT_EQ(this->readFile("mixedcase.txt"), "n");
  EXPECT_EQ(this->names(), "MixedCase.Txt new.txt ");
}

TYPED_TEST(PlatformContractTest, StatusDirectoriesDeletesAndRenames) {
  this->writeFile("f.bin", std::string(1234, 'z'));
  FileStatus st;
  ASSERT_TRUE(this->p().stat(this->path("f.bin"), &st));
  EXPECT_EQ(st.size, 1234);
  EXPECT_FALSE(st.isDirectory);
  const int64_t now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                          std::chrono::system_clock::now().time_since_epoch())
                          .count();
  EXPECT_LT(std::abs(st.modifiedNs - now), 60 * 1000000000LL) << "the last write time";
  EXPECT_FALSE(this->p().stat(this->path("nothing"), &st));
  EXPECT_TRUE(this->p().createDir(this->path("SUB")));
  EXPECT_FALSE(this->p().createDir(this->path("SUB"))) << "an existing directory is a failure";
  EXPECT_FALSE(this->p().createDir(this->path("NO\\SUCH\\PARENT")));
  ASSERT_TRUE(this->p().stat(this->path("SUB"), &st));
  EXPECT_TRUE(st.isDirectory);
  EXPECT_TRUE(this->p().exists(this->path("SUB")) && this->p().exists(this->path("f.bin")));
  EXPECT_FALSE(this->p().exists(this->path("g.bin")));
  EXPECT_EQ(this->names(), "SUB/ f.bin ");
  std::vector<DirEntry> entries;
  EXPECT_FALSE(this->p().listDir(this->path("nothing"), &entries));
  EXPECT_FALSE(this->p().deleteFile(this->path("SUB"))) << "directories are not files";

  this->writeFile("a.txt", "A");
  this->writeFile("b.txt", "B");
  this->writeFile("d.txt", "D");
  EXPECT_TRUE(this->p().renameReplacing(this->path("a.txt"), this->path("b.txt")));
  EXPECT_TRUE(this->p().renameReplacing(this->path("b.txt"), this->path("c.txt")));
  EXPECT_FALSE(this->p().renameNoReplace(this->path("c.txt"), this->path("d.txt")))
      << "a rename to a new name never replaces a file";
  EXPECT_EQ(this->readFile("c.txt") + this->readFile("d.txt"), "AD");
  EXPECT_TRUE(this->p().deleteFile(this->path("d.txt")));
  EXPECT_TRUE(this->p().renameNoReplace(this->path("c.txt"), this->path("d.txt")));
  EXPECT_EQ(this->readFile("d.txt"), "A");
  EXPECT_EQ(this->names(), "SUB/ d.txt f.bin ");
  EXPECT_TRUE(this->p().deleteFile(this->path("d.txt")));
  EXPECT_FALSE(this->p().deleteFile(this->path("d.txt")));
}

TYPED_TEST(PlatformContractTest, DosStampsUniqueNamesAndText) {
  this->writeFile("s.txt", "s");
  // 1999-05-27 21:15:54 local time.
  const DosStamp stamp{(21 << 11) | (15 << 5) | 27, (19 << 9) | (5 << 5) | 27};
  DosStamp now, read;
  ASSERT_TRUE(this->open("s.txt", FileMode::kRead)->getStamp(&now));
  EXPECT_GE(now.date >> 9, 2024 - 1980) << "a new file carries today's date";
  FileStatus before, after;
  ASSERT_TRUE(this->p().stat(this->path("s.txt"), &before));
  ASSERT_TRUE(this->open("s.txt", FileMode::kAppend)->setStamp(stamp));
  ASSERT_TRUE(this->p().stat(this->path("s.txt"), &after));
  EXPECT_LT(after.modifiedNs, before.modifiedNs);
  ASSERT_TRUE(this->open("s.txt", FileMode::kRead)->getStamp(&read));
  EXPECT_EQ(read, stamp);

  const std::string pattern = this->path("ZVXXXXXX");
  const std::string first = this->p().makeUniqueName(pattern);
  ASSERT_EQ(first.size(), pattern.size());
  EXPECT_EQ(first.substr(0, first.size() - 6), pattern.substr(0, pattern.size() - 6));
  EXPECT_EQ(first.find('X', first.size() - 6), std::string::npos);
  ASSERT_TRUE(this->p().open(first, FileMode::kCreateNew));
  const std::string second = this->p().makeUniqueName(pattern);
  EXPECT_NE(second, first);
  EXPECT_FALSE(this->p().exists(second));
  EXPECT_EQ(this->p().makeUniqueName(this->path("noXs")), "");

  ASSERT_TRUE(TextWriter(*Stream::open(this->path("t.log"), FileMode::kWrite)).write("1\n2\n"));
  EXPECT_EQ(this->readFile("t.log"), "1\r\n2\r\n") << "the same bytes everywhere";
  std::unique_ptr<Stream> s = Stream::open(this->path("t.log"), FileMode::kRead);
  std::string piece;
  ASSERT_TRUE(TextReader(*s, TextRules{}).readPiece(512, &piece));
  EXPECT_EQ(piece, "1\n");
}

template <typename TP>
class RegistryContractTest : public PlatformContractTest<TP> {
 protected:
  void SetUp() override {
    ASSERT_EQ(this->p().regCreateKey(kHkeyCurrentUser, this->tp_.scratchKey(), &root_), 0);
  }
  void TearDown() override { this->p().regCloseKey(root_); }
  RegKey root_ = 0;
};

TYPED_TEST_SUITE(RegistryContractTest, Platforms, PlatformNames);

TYPED_TEST(RegistryContractTest, CreateSetQueryDelete) {
  Platform& p = this->p();
  RegKey key;
  ASSERT_EQ(p.regCreateKey(this->root_, "Vendor\\App", &key), kErrorSuccess);
  ASSERT_EQ(p.regSetString(key, "Name", "Text"), kErrorSuccess);
  ASSERT_EQ(p.regSetString(key, "", "unnamed"), kErrorSuccess);
  p.regCloseKey(key);
  ASSERT_EQ(p.regOpenKey(this->root_, "VENDOR\\app", RegAccess::kRead, &key), kErrorSuccess);
  uint32_t type = 0, size = 0;
  ASSERT_EQ(p.regQueryValue(key, "name", &type, nullptr, &size), kErrorSuccess);
  EXPECT_EQ(type, kRegSz);
  EXPECT_EQ(size, 5u) << "the terminating NUL is stored";
  char buf[256];
  size = 2;
  EXPECT_EQ(p.regQueryValue(key, "Name", &type, buf, &size), kErrorMoreData);
  EXPECT_EQ(size, 5u);
  for (const auto& [name, value] :
       {std::make_pair("Name", "Text"), std::make_pair("", "unnamed")}) {
    size = sizeof buf;
    ASSERT_EQ(p.regQueryValue(key, name, &type, buf, &size), kErrorSuccess);
    EXPECT_STREQ(buf, value);
  }
  size = sizeof buf;
  EXPECT_EQ(p.regQueryValue(key, "Other", &type, buf, &size), kErrorFileNotFound);
  p.regCloseKey(key);

  ASSERT_EQ(p.regOpenKey(this->root_, "Vendor\\App", RegAccess::kAllAccess, &key), kErrorSuccess);
  EXPECT_EQ(p.regDeleteValue(key, "NAME"), kErrorSuccess);
  EXPECT_EQ(p.regDeleteValue(key, "Name"), kErrorFileNotFound);
  size = sizeof buf;
  EXPECT_EQ(p.regQueryValue(key, "Name", &type, buf, &size), kErrorFileNotFound);
  EXPECT_EQ(p.regDeleteKey(key, ""), kErrorSuccess) << "an open key deletes itself";
  p.regCloseKey(key);
  EXPECT_EQ(p.regOpenKey(this->root_, "Vendor\\App", RegAccess::kRead, &key), kErrorFileNotFound);
  EXPECT_EQ(p.regOpenKey(this->root_, "Vendor", RegAccess::kRead, &key), kErrorSuccess);
  p.regCloseKey(key);
}

TYPED_TEST(RegistryContractTest, EnumerateSubkeys) {
  Platform& p = this->p();
  const std::string fifty = "a-name-of-exactly-fifty-characters-xxxxxxxxxxxxxxx";
  for (const std::string& name : {std::string("c"), std::string("a"), std::string("B"), fifty}) {
    RegKey k;
    ASSERT_EQ(p.regCreateKey(this->root_, name, &k), kErrorSuccess);
    p.regCloseKey(k);
  }
  uint32_t count = 0;
  ASSERT_EQ(p.regQuerySubkeyCount(this->root_, &count), kErrorSuccess);
  EXPECT_EQ(count, 4u);
  // Names in order; the fifty-character one does not fit a buffer of fifty.
  for (uint32_t bufferSize : {50u, 64u}) {
    std::vector<std::string> names;
    long result = kErrorSuccess;
    char name[64];
    for (uint32_t i = 0, size = bufferSize;
         (result = p.regEnumKey(this->root_, i, name, &size)) == kErrorSuccess;
         ++i, size = bufferSize) {
      EXPECT_EQ(size, std::strlen(name));
      names.push_back(name);
    }
    EXPECT_EQ(result, bufferSize == 50 ? kErrorMoreData : kErrorNoMoreItems);
    const std::vector<std::string> all = {"a", fifty, "B", "c"};
    EXPECT_EQ(names, bufferSize == 50 ? std::vector<std::string>{"a"} : all);
  }
  // Emptying a key by deleting index 0 each time, as a tree delete does.
  char name[64];
  for (uint32_t size = sizeof name; p.regEnumKey(this->root_, 0, name, &size) == kErrorSuccess;
       size = sizeof name) {
    RegKey k;
    ASSERT_EQ(p.regOpenKey(this->root_, name, RegAccess::kAllAccess, &k), kErrorSuccess);
    ASSERT_EQ(p.regDeleteKey(k, ""), kErrorSuccess);
    p.regCloseKey(k);
  }
  ASSERT_EQ(p.regQuerySubkeyCount(this->root_, &count), kErrorSuccess);
  EXPECT_EQ(count, 0u);
}

}  // namespace
}  // namespace zv
