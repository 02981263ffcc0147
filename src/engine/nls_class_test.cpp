#include "engine/nls_class.h"

#include <gtest/gtest.h>

#include "platform/testing/memory_platform.h"

namespace zv {
namespace {

class NLSClassTest : public ::testing::Test {
 protected:
  NLSClassTest() { previous_ = Platform::setCurrent(&tp_.platform()); }
  ~NLSClassTest() override { Platform::setCurrent(previous_); }

  std::string path(const std::string& name) { return tp_.scratchDir() + "\\" + name; }
  void write(const std::string& name, const std::string& bytes) {
    std::unique_ptr<File> f = Platform::current().open(path(name), FileMode::kWrite);
    ASSERT_TRUE(f);
    f->write(bytes.data(), bytes.size());
  }
  std::string read(const std::string& name) {
    std::unique_ptr<File> f = Platform::current().open(path(name), FileMode::kRead);
    if (!f) return "<missing>";
    std::string out(4096, '\0');
    out.resize(static_cast<size_t>(f->read(&out[0], out.size())));
    return out;
  }
  // Loads a catalog made of the given bytes.
  std::unique_ptr<NLSClass> load(const std::string& bytes) {
    write("UPD.MSG", bytes);
    auto nls = std::make_unique<NLSClass>(path("UPD.MSG"));
    std::string failure;
    EXPECT_EQ(nls->LoadCatalog(&failure), 1);
    return nls;
  }

  MemoryTestPlatform tp_;
  Platform* previous_;
};

TEST_F(NLSClassTest, TheCatalogEndsAtABlankOrCommentLine) {
  auto nls = load("one\r\ntwo\r\nthree\r\nfour\r\n \t\r\nsix\r\n");
  EXPECT_EQ(nls->messageCount(), 4);
  EXPECT_EQ(nls->MessageText(4), "four");
  EXPECT_EQ(nls->MessageText(41), "two") << "out of range gives message 2";
  EXPECT_EQ(nls->MessageText(0), "two");
  EXPECT_EQ(nls->MessageText(-1), "two");

  std::string eight;
  for (int i = 1; i <= 8; ++i) eight += "m" + std::to_string(i) + "\n";
  EXPECT_EQ(load(eight + "Remove this\nm10\n")->messageCount(), 8) << "a rem word";
  EXPECT_EQ(load(eight + "  ; note\n")->messageCount(), 8);
  EXPECT_EQ(load(eight + "# note\n")->messageCount(), 8);
  EXPECT_EQ(load("\nfirst\n")->messageCount(), 0) << "an empty catalog loads";
  EXPECT_EQ(load("only\n")->MessageText(5), "") << "fewer than two messages";
}

TEST_F(NLSClassTest, LinesAreReadAsTextWithLineBreakEscapes) {
  auto lf = load("a\nFirst\\nSecond\nC:\\\\PATH 100%\nlast");
  auto crlf = load("a\r\nFirst\\nSecond\r\nC:\\\\PATH 100%\r\nlast");
  for (NLSClass* nls : {lf.get(), crlf.get()}) {
    EXPECT_EQ(nls->messageCount(), 4);
    EXPECT_EQ(nls->MessageText(2), "First\nSecond");
    EXPECT_EQ(nls->MessageText(3), "C:\\PATH 100%");
    EXPECT_EQ(nls->MessageText(4), "last") << "no final line break";
  }
  // A line of 600 characters is one message: the numbers after it stay.
  auto longLine = load(std::string(600, 'x') + "\nnext\n");
  EXPECT_EQ(longLine->messageCount(), 2);
  EXPECT_EQ(longLine->MessageText(1), std::string(600, 'x'));
  EXPECT_EQ(longLine->MessageText(2), "next");
}

TEST_F(NLSClassTest, AMissingCatalogSaysWhy) {
  NLSClass nls(path("NONE.MSG"));
  std::string failure;
  EXPECT_EQ(nls.LoadCatalog(&failure), 0);
  EXPECT_EQ(failure, "Error reading NLS language file: " + path("NONE.MSG"));
  EXPECT_EQ(nls.MessageText(3), "");
}

TEST_F(NLSClassTest, TraceLogCreatedAnewOrAppended) {
  {
    NLSClass nls(path("UPD.MSG"));
    nls.OpenLog(path("TRACE.LOG"), 0);
    ASSERT_TRUE(nls.logOpen());
    nls.writeLog("banner \nline\n");
  }
  EXPECT_EQ(read("TRACE.LOG"), "banner \r\nline\r\n");
  {
    NLSClass nls(path("UPD.MSG"));
    nls.OpenLog(path("TRACE.LOG"), 1);
    nls.writeLog("again\n");
  }
  EXPECT_EQ(read("TRACE.LOG"), "banner \r\nline\r\nagain\r\n");
  {
    NLSClass nls(path("UPD.MSG"));
    nls.OpenLog(path("TRACE.LOG"), 0);
    nls.writeLog("new\n");
    nls.OpenLog("", 0);
    EXPECT_FALSE(nls.logOpen());
    nls.writeLog("lost\n");
    nls.OpenLog(path("NO\\SUCH\\DIR.LOG"), 1);
    EXPECT_FALSE(nls.logOpen()) << "silently no trace log";
  }
  EXPECT_EQ(read("TRACE.LOG"), "new\r\n");
}

}  // namespace
}  // namespace zv
