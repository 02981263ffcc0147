#include "platform/stream.h"

#include <gtest/gtest.h>

#include "platform/testing/memory_file.h"

namespace zv {
namespace {

TEST(StreamTest, ReadsBytesAcrossBufferRefills) {
  std::string content;
  for (int i = 0; i < 10000; ++i) content += static_cast<char>(i % 251);
  Stream s(std::make_unique<MemoryFile>(&content));
  for (int i = 0; i < 10000; ++i) {
    ASSERT_EQ(s.peekByte(), i % 251) << i;
    ASSERT_EQ(s.getByte(), i % 251) << i;
  }
  EXPECT_EQ(s.getByte(), -1);
  EXPECT_EQ(s.peekByte(), -1);
  EXPECT_FALSE(s.failed());

  ASSERT_TRUE(s.rewind());
  std::string all(20000, '\0');
  EXPECT_EQ(s.read(&all[0], all.size()), 10000u);
  EXPECT_EQ(all.substr(0, 10000), content);
}

TEST(StreamTest, WritesReachTheFileOnFlushAndOnDestruction) {
  std::string content;
  {
    Stream s(std::make_unique<MemoryFile>(&content));
    std::string big(70000, 'x');
    ASSERT_TRUE(s.write(big));
    EXPECT_EQ(content.size(), 65536u);  // one buffer's worth so far
    ASSERT_TRUE(s.write("yz"));
  }
  EXPECT_EQ(content, std::string(70000, 'x') + "yz");
}

TEST(StreamTest, AFailedWriteIsReported) {
  std::string content;
  Stream s(std::make_unique<MemoryFile>(&content, 10));
  EXPECT_TRUE(s.write("0123456789ABCDEF"));  // still buffered
  EXPECT_FALSE(s.flush());
  EXPECT_TRUE(s.failed());
}

}  // namespace
}  // namespace zv
