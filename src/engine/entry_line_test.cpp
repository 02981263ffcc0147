#include "engine/entry_line.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace zv {
namespace {

using Tokens = std::vector<std::optional<std::string>>;

// The key (separator "=") and then every field (separator ","), up to and
// including the first nullopt.
Tokens split(const std::string& line) {
  FieldSplitter splitter(line);
  Tokens out;
  out.push_back(splitter.nextToken("="));
  while (out.back()) out.push_back(splitter.nextToken(","));
  return out;
}

std::string trimmed(std::string line) {
  trimLine(line);
  return line;
}

TEST(EntryLineTest, TrimLineRemovesWhiteSpaceAtBothEndsOnly) {
  EXPECT_EQ(trimmed("  \t a b \r\n"), "a b");
  EXPECT_EQ(trimmed("\v\fx\v\f"), "x");
  EXPECT_EQ(trimmed(" \t\r\n\v\f "), "");
  EXPECT_EQ(trimmed(""), "");
  EXPECT_EQ(trimmed("FILE=a, b"), "FILE=a, b");
  EXPECT_EQ(trimmed("\xA0x\xA0"), "\xA0x\xA0") << "only the six ASCII blanks";
}

TEST(EntryLineTest, CommentsBeginWithSlashesStarOrSemicolon) {
  EXPECT_TRUE(isComment("// note"));
  EXPECT_TRUE(isComment("*"));
  EXPECT_TRUE(isComment("; note"));
  EXPECT_TRUE(isComment(trimmed("   ; note")));
  EXPECT_FALSE(isComment("/ note"));
  EXPECT_FALSE(isComment("REM x"));
  EXPECT_FALSE(isComment("#x"));
  EXPECT_FALSE(isComment(""));
  EXPECT_FALSE(isComment("FILE=a;b"));
}

TEST(EntryLineTest, AnEntryIsTheKeywordThenDigitsThenEqualsOrTheEnd) {
  EXPECT_TRUE(isEntry("file2=ZEVRA,a.dll", "FILE"));
  EXPECT_TRUE(isEntry("FILE=ZEVRA,a.dll", "FILE"));
  EXPECT_TRUE(isEntry("FILE", "FILE"));
  EXPECT_TRUE(isEntry("File123", "FILE"));
  EXPECT_TRUE(isEntry("FILE0=", "FILE"));
  EXPECT_FALSE(isEntry("FILES=x", "FILE"));
  EXPECT_FALSE(isEntry("FILE 1=x", "FILE"));
  EXPECT_FALSE(isEntry("FILE1 =x", "FILE"));
  EXPECT_FALSE(isEntry("FILE1a=x", "FILE"));
  EXPECT_FALSE(isEntry("FINDFILE=x", "FILE"));
  EXPECT_TRUE(isEntry("FINDFILE=x", "FINDFILE"));
  EXPECT_FALSE(isEntry("FIL", "FILE"));
  EXPECT_FALSE(isEntry("", "FILE"));
  EXPECT_FALSE(isEntry(" FILE=x", "FILE")) << "the caller trims first";
}

TEST(FieldSplitterTest, AbsentAndEmptyFieldsAreDistinct) {
  EXPECT_EQ(split("A="), (Tokens{"A", "", std::nullopt}));
  EXPECT_EQ(split("A=x,"), (Tokens{"A", "x", "", std::nullopt}));
  EXPECT_EQ(split("A"), (Tokens{"A", std::nullopt}));
  EXPECT_EQ(split("A=,,"), (Tokens{"A", "", "", "", std::nullopt}));
  EXPECT_EQ(split(""), (Tokens{"", std::nullopt}));
  EXPECT_EQ(split("=x"), (Tokens{"", "x", std::nullopt}));
}

TEST(FieldSplitterTest, FieldsAreTakenVerbatim) {
  EXPECT_EQ(split("FILE1= a , b "), (Tokens{"FILE1", " a ", " b ", std::nullopt}));
}

TEST(FieldSplitterTest, AnEqualsSignAfterTheFirstIsOrdinaryText) {
  EXPECT_EQ(split("INI=a=b,c=d"), (Tokens{"INI", "a=b", "c=d", std::nullopt}));
}

TEST(FieldSplitterTest, ABackslashMakesTheNextCharacterLiteral) {
  EXPECT_EQ(split("A=x\\,y,z"), (Tokens{"A", "x,y", "z", std::nullopt}));
  EXPECT_EQ(split("A=a\\\\b.dll"), (Tokens{"A", "a\\b.dll", std::nullopt}));
  EXPECT_EQ(split("K\\=1=v"), (Tokens{"K=1", "v", std::nullopt})) << "in the key too";
  EXPECT_EQ(split("A=\\q"), (Tokens{"A", "q", std::nullopt}));
}

TEST(FieldSplitterTest, TheCharacterAfterAnEscapedOneIsNoEscape) {
  // backslash, comma, backslash, comma: the second backslash is literal and
  // the second comma separates.
  EXPECT_EQ(split("A=\\,\\,"), (Tokens{"A", ",\\", "", std::nullopt}));
  EXPECT_EQ(split("A=a\\,\\b"), (Tokens{"A", "a,\\b", std::nullopt}));
  // After that character the backslash test applies again.
  EXPECT_EQ(split("A=\\,x\\,y"), (Tokens{"A", ",x,y", std::nullopt}));
}

TEST(FieldSplitterTest, ATrailingBackslashIsDropped) {
  EXPECT_EQ(split("A=x\\"), (Tokens{"A", "x", std::nullopt}));
  EXPECT_EQ(split("A=x,\\"), (Tokens{"A", "x", "", std::nullopt}));
  EXPECT_EQ(split("A=\\,\\"), (Tokens{"A", ",\\", std::nullopt}))
      << "unless it follows an escaped character";
}

TEST(FieldSplitterTest, AfterTheLastTokenEveryCallGivesNone) {
  FieldSplitter splitter("A=x");
  EXPECT_EQ(splitter.nextToken("="), "A");
  EXPECT_EQ(splitter.nextToken(","), "x");
  EXPECT_EQ(splitter.nextToken(","), std::nullopt);
  EXPECT_EQ(splitter.nextToken(","), std::nullopt);
}

TEST(EntryLineTest, ReadNumberScansLikePercentD) {
  int v = 99;
  EXPECT_TRUE(readNumber(std::string("12x"), &v));
  EXPECT_EQ(v, 12);
  EXPECT_TRUE(readNumber(std::string("-3"), &v));
  EXPECT_EQ(v, -3);
  EXPECT_TRUE(readNumber(std::string(" 7"), &v));
  EXPECT_EQ(v, 7);
  EXPECT_TRUE(readNumber(std::string("+5"), &v));
  EXPECT_EQ(v, 5);
  v = 99;
  EXPECT_FALSE(readNumber(std::string("yes"), &v));
  EXPECT_FALSE(readNumber(std::string(""), &v));
  EXPECT_FALSE(readNumber(std::nullopt, &v));
  EXPECT_FALSE(readNumber(std::string("- 3"), &v));
  EXPECT_EQ(v, 99) << "untouched when there is no number";
}

TEST(EntryLineTest, AnAbsentFieldPrintsAsNull) {
  EXPECT_STREQ(fieldText(std::nullopt), "(null)");
  EXPECT_STREQ(fieldText(std::string("")), "");
  const std::optional<std::string> x = "x";
  EXPECT_STREQ(fieldText(x), "x");
}

}  // namespace
}  // namespace zv
