#include "engine/engine_test_fixture.h"

namespace zv {
namespace {

// A file that exists but cannot be opened for reading.
struct UnreadablePlatform : PlatformWrapper {
  UnreadablePlatform(Platform& target, std::string path)
      : PlatformWrapper(target), path_(std::move(path)), previous_(Platform::setCurrent(this)) {}
  ~UnreadablePlatform() override { Platform::setCurrent(previous_); }
  std::unique_ptr<File> open(const std::string& path, FileMode mode) override {
    return path == path_ && mode == FileMode::kRead ? nullptr : target().open(path, mode);
  }
  std::string path_;
  Platform* previous_;
};

TEST_F(EngineTest, AnUnreadableIniFileIsReportedAndTheNextEntryStillRuns) {
  write("PROD\\A.INI", "[S]\r\nk=1\r\n");
  {
    UnreadablePlatform unreadable(platform_, path("PROD\\A.INI"));
    run("INI1=ZEVRA,A.INI,S,k,2\r\nINI2=ZEVRA,B.INI,S,k,3\r\n");
  }
  EXPECT_EQ(trace_.lines, Lines{"[box] \nM15: " + path("PROD\\A.INI") + "\n"});
  EXPECT_EQ(read("PROD\\A.INI"), "[S]\r\nk=1\r\n");
  EXPECT_EQ(Profile(path("PROD\\B.INI"), Profile::kFileMode).getString("S", "k", ""), "3");
}

}  // namespace
}  // namespace zv
