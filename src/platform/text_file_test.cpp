#include "platform/text_file.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/testing/memory_platform.h"

namespace zv {
namespace {

class TextFileTest : public ::testing::Test {
 protected:
  std::unique_ptr<Stream> stream(const std::string& content, FileMode mode = FileMode::kRead) {
    mp_.open("C:\\F", FileMode::kWrite)->write(content.data(), content.size());
    return std::make_unique<Stream>(mp_.open("C:\\F", mode));
  }
  std::string content() {
    std::string out(200000, '\0');
    out.resize(Stream(mp_.open("C:\\F", FileMode::kRead)).read(&out[0], out.size()));
    return out;
  }

  MemoryPlatform mp_;
};

TEST_F(TextFileTest, StreamsBufferReadsAndWrites) {
  std::string bytes;
  for (int i = 0; i < 70000; ++i) bytes += static_cast<char>(i % 251);
  std::unique_ptr<Stream> s = stream(bytes);
  for (int i = 0; i < 70000; ++i) {
    ASSERT_EQ(s->peekByte(), i % 251) << i;
    ASSERT_EQ(s->getByte(), i % 251) << i;
  }
  EXPECT_EQ(s->getByte() + s->peekByte(), -2);
  EXPECT_FALSE(s->failed());
  ASSERT_TRUE(s->rewind());
  std::string all(80000, '\0');
  EXPECT_EQ(s->read(&all[0], all.size()), 70000u);
  EXPECT_EQ(all.substr(0, 70000), bytes);

  s = stream("", FileMode::kWrite);
  ASSERT_TRUE(s->write(std::string(70000, 'x')));
  EXPECT_EQ(content().size(), 65536u) << "one buffer's worth so far";
  TextWriter writer(*s);
  ASSERT_TRUE(writer.write("\nCompressing A.TXT...\n"));
  ASSERT_TRUE(writer.write("no break"));
  s.reset();
  EXPECT_EQ(content(), std::string(70000, 'x') + "\r\nCompressing A.TXT...\r\nno break");

  mp_.faults = {{MemoryPlatform::Fault::kWrite, "F", FileMode::kWrite, 10}};
  s = stream("", FileMode::kWrite);
  EXPECT_TRUE(s->write("0123456789ABCDEF")) << "still buffered";
  EXPECT_FALSE(s->flush());
  EXPECT_TRUE(s->failed());
}

}  // namespace
}  // namespace zv
