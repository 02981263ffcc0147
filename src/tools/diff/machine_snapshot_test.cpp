#include "tools/diff/machine_snapshot.h"

#include <sys/stat.h>

#include "simulator/machine_dirs_testing.h"

namespace zv {
namespace {

using SnapshotTest = MachineDirsTest;

struct timespec modified(const std::string& path) {
  struct stat st;
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return st.st_mtim;
}

TEST_F(SnapshotTest, CopiesEveryFileWithItsBytesAndTime) {
  put("pc/registry.reg", "REGEDIT4\r\n");
  put("pc/drive_c/WINDOWS/ZEVRA.INI", "[Zevra]\r\n", 100);
  date("pc/drive_c/WINDOWS/ZEVRA.INI", 100, 123456789);
  std::filesystem::create_directories(at("pc/drive_d/EMPTY"));
  std::string error;
  ASSERT_TRUE(saveSnapshot(at("pc"), at("saved/one"), &error)) << error;
  std::string text;
  ASSERT_TRUE(readHostFile(at("saved/one/drive_c/WINDOWS/ZEVRA.INI"), &text));
  EXPECT_EQ(text, "[Zevra]\r\n");
  ASSERT_TRUE(readHostFile(at("saved/one/registry.reg"), &text));
  EXPECT_EQ(text, "REGEDIT4\r\n");
  EXPECT_TRUE(std::filesystem::is_directory(at("saved/one/drive_d/EMPTY")));
  struct timespec a = modified(at("pc/drive_c/WINDOWS/ZEVRA.INI"));
  struct timespec b = modified(at("saved/one/drive_c/WINDOWS/ZEVRA.INI"));
  EXPECT_EQ(a.tv_sec, b.tv_sec);
  EXPECT_EQ(a.tv_nsec, b.tv_nsec);
  // An empty folder may receive the snapshot too.
  std::filesystem::create_directories(at("empty"));
  EXPECT_TRUE(saveSnapshot(at("pc"), at("empty"), &error)) << error;
}

TEST_F(SnapshotTest, RefusesWhatWouldLoseOrLoopAndSaysWhy) {
  put("pc/machine.ini", "[Machine]\r\n");
  put("full/KEEP.TXT", "mine");
  std::string error;
  EXPECT_FALSE(saveSnapshot(at("pc"), at("full"), &error));
  EXPECT_EQ(error, at("full") + " exists and is not an empty directory");
  EXPECT_FALSE(saveSnapshot(at("pc"), at("full/KEEP.TXT"), &error));
  std::string text;
  ASSERT_TRUE(readHostFile(at("full/KEEP.TXT"), &text));
  EXPECT_EQ(text, "mine");
  EXPECT_FALSE(saveSnapshot(at("nothing"), at("snap"), &error));
  EXPECT_EQ(error, "no machine directory " + at("nothing"));
  EXPECT_FALSE(std::filesystem::exists(at("snap")));
  EXPECT_FALSE(saveSnapshot(at("pc"), at("pc/snap"), &error));
  EXPECT_NE(error.find("cannot be inside the machine"), std::string::npos) << error;
  EXPECT_FALSE(std::filesystem::exists(at("pc/snap")));
}

}  // namespace
}  // namespace zv
