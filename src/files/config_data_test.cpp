#include "files/config_data.h"

#include <gtest/gtest.h>

namespace zv {
namespace {

TEST(ConfigDataTest, ConstructionValues) {
  ConfigData c;
  EXPECT_TRUE(c.backup());
  EXPECT_FALSE(c.interactive());
  EXPECT_FALSE(c.debug());
  EXPECT_FALSE(c.cid());
  EXPECT_EQ(c.diskettes(), 1);
  EXPECT_EQ(c.programDir(), "");
  EXPECT_EQ(c.locationProfile(), nullptr);
}

TEST(ConfigDataTest, FlagsAreSetOnlyByExactlyOne) {
  ConfigData c;
  for (int v : {2, -1, 0}) {
    c.setDebug(v);
    c.setInteractive(v);
    c.setBackup(v);
    c.setRebootNeeded(v);
    c.setCid(v);
    EXPECT_FALSE(c.debug() || c.interactive() || c.backup() || c.rebootNeeded() || c.cid()) << v;
  }
  c.setCid(2);
  EXPECT_EQ(c.cidRaw(), 2) << "the driver reads CID as given";
  c.setRebootNeeded(2);
  EXPECT_EQ(c.rebootNeededRaw(), 2);
  c.setDebug(1);
  EXPECT_TRUE(c.debug());
}

TEST(ConfigDataTest, TextsKeepAtMost259Characters) {
  ConfigData c;
  c.setProductDir(std::string(300, 'p'));
  EXPECT_EQ(c.productDir(), std::string(259, 'p'));
  c.setWindowsDir("C:\\WINDOWS");
  EXPECT_EQ(c.windowsDir(), "C:\\WINDOWS");
}

}  // namespace
}  // namespace zv
