#include "platform/text_file.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/testing/memory_platform.h"

namespace zv {
namespace {

using Pieces = std::vector<std::string>;

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
  Pieces pieces(const std::string& content, TextRules rules, size_t bufferSize = 512) {
    std::unique_ptr<Stream> s = stream(content);
    TextReader reader(*s, rules);
    Pieces out;
    for (std::string piece; reader.readPiece(bufferSize, &piece);) out.push_back(piece);
    return out;
  }

  MemoryPlatform mp_;
};

TEST_F(TextFileTest, PiecesFollowTheLineEndRulesAsFgetsGivesThem) {
  TextRules rules;
  EXPECT_EQ(pieces("a\r\nb\rc\r\n", rules), (Pieces{"a\n", "b\rc\n"}));
  EXPECT_EQ(pieces("a\nb\x1A"
                   "c\n",
                   rules),
            (Pieces{"a\n", "b"}));
  // 1030 characters in a 1024-byte buffer: 1023, then 7 with the line feed;
  // after exactly 1023 the line feed alone follows as its own piece.
  EXPECT_EQ(pieces(std::string(1030, 'x') + "\n", rules, 1024),
            (Pieces{std::string(1023, 'x'), "xxxxxxx\n"}));
  EXPECT_EQ(pieces(std::string(1023, 'y') + "\nz", rules, 1024),
            (Pieces{std::string(1023, 'y'), "\n", "z"}));
  rules.stopAtCtrlZ = false;
  EXPECT_EQ(pieces("a\nb\x1A"
                   "c\n",
                   rules),
            (Pieces{"a\n",
                    "b\x1A"
                    "c\n"}));
  rules.dropEveryCr = true;
  EXPECT_EQ(pieces("a\r\nb\rc\r\nd", rules), (Pieces{"a\n", "bc\n", "d"}));

  std::unique_ptr<Stream> s = stream("one\r\ntwo\x1A");
  TextReader reader(*s, TextRules{});
  std::string piece, line = "a\n\n", bare = "b";
  while (reader.readPiece(512, &piece)) {
  }
  ASSERT_TRUE(reader.rewind());
  ASSERT_TRUE(reader.readPiece(512, &piece));
  EXPECT_EQ(piece, "one\n") << "read again after the end";
  stripLineFeed(&line);
  stripLineFeed(&bare);
  EXPECT_EQ(line + bare, "a\nb") << "one line feed is stripped";
}

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
