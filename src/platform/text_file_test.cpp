#include "platform/text_file.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/testing/memory_file.h"

namespace zv {
namespace {

std::vector<std::string> pieces(std::string content, TextRules rules, size_t bufferSize) {
  Stream s(std::make_unique<MemoryFile>(&content));
  TextReader reader(s, rules);
  std::vector<std::string> out;
  std::string piece;
  while (reader.readPiece(bufferSize, &piece)) out.push_back(piece);
  return out;
}

using Pieces = std::vector<std::string>;

TEST(TextReaderTest, CrBeforeLfIsDroppedOtherCrsStay) {
  TextRules rules;
  EXPECT_EQ(pieces("a\r\nb\rc\r\n", rules, 512), (Pieces{"a\n", "b\rc\n"}));
  rules.dropEveryCr = true;
  EXPECT_EQ(pieces("a\r\nb\rc\r\nd", rules, 512), (Pieces{"a\n", "bc\n", "d"}));
}

TEST(TextReaderTest, CtrlZEndsTheTextOnlyWhenTheRulesSaySo) {
  TextRules rules;
  EXPECT_EQ(pieces("a\nb\x1A"
                   "c\n",
                   rules, 512),
            (Pieces{"a\n", "b"}));
  rules.stopAtCtrlZ = false;
  EXPECT_EQ(pieces("a\nb\x1A"
                   "c\n",
                   rules, 512),
            (Pieces{"a\n",
                    "b\x1A"
                    "c\n"}));
}

TEST(TextReaderTest, LongLinesComeInPiecesAsFgetsGivesThem) {
  TextRules rules;
  // 1030 characters in a 1024-byte buffer: 1023, then 7 with the line feed.
  Pieces p = pieces(std::string(1030, 'x') + "\n", rules, 1024);
  ASSERT_EQ(p.size(), 2u);
  EXPECT_EQ(p[0].size(), 1023u);
  EXPECT_EQ(p[1], "xxxxxxx\n");
  // Exactly 1023 characters: the line feed alone follows as its own piece.
  p = pieces(std::string(1023, 'y') + "\nz", rules, 1024);
  ASSERT_EQ(p.size(), 3u);
  EXPECT_EQ(p[1], "\n");
  EXPECT_EQ(p[2], "z");
}

TEST(TextReaderTest, RewindReadsAgainAfterTheEnd) {
  std::string content = "one\r\ntwo\x1A";
  Stream s(std::make_unique<MemoryFile>(&content));
  TextReader reader(s, TextRules{});
  std::string piece;
  while (reader.readPiece(512, &piece)) {
  }
  ASSERT_TRUE(reader.rewind());
  ASSERT_TRUE(reader.readPiece(512, &piece));
  EXPECT_EQ(piece, "one\n");
}

TEST(TextWriterTest, EveryLineFeedIsWrittenAsCrLf) {
  std::string content;
  {
    Stream s(std::make_unique<MemoryFile>(&content));
    TextWriter writer(s);
    ASSERT_TRUE(writer.write("\nCompressing A.TXT...\n"));
    ASSERT_TRUE(writer.write("no break"));
  }
  EXPECT_EQ(content, "\r\nCompressing A.TXT...\r\nno break");
}

TEST(TextFileTest, StripLineFeedRemovesOnlyOne) {
  std::string s = "a\n\n";
  stripLineFeed(&s);
  EXPECT_EQ(s, "a\n");
  s = "b";
  stripLineFeed(&s);
  EXPECT_EQ(s, "b");
}

}  // namespace
}  // namespace zv
