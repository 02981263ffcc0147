#include "engine/entry_line.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
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
  const std::pair<const char*, const char*> cases[] = {
      {"  \t a b \r\n", "a b"},   {"\v\fx\v\f", "x"},         {" \t\r\n\v\f ", ""}, {"", ""},
      {"FILE=a, b", "FILE=a, b"}, {"\xA0x\xA0", "\xA0x\xA0"},  // only the six ASCII blanks
  };
  for (const auto& [line, want] : cases) {
    EXPECT_EQ(trimmed(line), want) << ::testing::PrintToString(std::string(line));
  }
}

TEST(EntryLineTest, CommentsBeginWithSlashesStarOrSemicolon) {
  for (const char* line : {"// note", "*", "; note"}) EXPECT_TRUE(isComment(line)) << line;
  EXPECT_TRUE(isComment(trimmed("   ; note")));
  for (const char* line : {"/ note", "REM x", "#x", "", "FILE=a;b"}) {
    EXPECT_FALSE(isComment(line)) << line;
  }
}

TEST(EntryLineTest, AnEntryIsTheKeywordThenDigitsThenEqualsOrTheEnd) {
  for (const char* line : {"file2=ZEVRA,a.dll", "FILE=ZEVRA,a.dll", "FILE", "File123", "FILE0="}) {
    EXPECT_TRUE(isEntry(line, "FILE")) << line;
  }
  // " FILE=x": the caller trims first.
  for (const char* line :
       {"FILES=x", "FILE 1=x", "FILE1 =x", "FILE1a=x", "FINDFILE=x", "FIL", "", " FILE=x"}) {
    EXPECT_FALSE(isEntry(line, "FILE")) << line;
  }
  EXPECT_TRUE(isEntry("FINDFILE=x", "FINDFILE"));
}

TEST(FieldSplitterTest, SplitsTheKeyAndTheFields) {
  const auto none = std::nullopt;
  const struct Case {
    const char* what;
    std::string line;
    Tokens tokens;
  } cases[] = {
      {"an empty field", "A=", {"A", "", none}},
      {"an empty last field", "A=x,", {"A", "x", "", none}},
      {"no fields", "A", {"A", none}},
      {"empty fields", "A=,,", {"A", "", "", "", none}},
      {"an empty line", "", {"", none}},
      {"an empty key", "=x", {"", "x", none}},
      {"fields are verbatim", "FILE1= a , b ", {"FILE1", " a ", " b ", none}},
      {"an equals sign after the first is text", "INI=a=b,c=d", {"INI", "a=b", "c=d", none}},
      {"an escaped comma", "A=x\\,y,z", {"A", "x,y", "z", none}},
      {"an escaped backslash", "A=a\\\\b.dll", {"A", "a\\b.dll", none}},
      {"an escape in the key", "K\\=1=v", {"K=1", "v", none}},
      {"an escaped letter", "A=\\q", {"A", "q", none}},
      // After an escaped character a backslash is literal; after that
      // character the backslash test applies again.
      {"backslash, comma, backslash, comma", "A=\\,\\,", {"A", ",\\", "", none}},
      {"the backslash after an escaped comma", "A=a\\,\\b", {"A", "a,\\b", none}},
      {"escapes again after that", "A=\\,x\\,y", {"A", ",x,y", none}},
      {"a trailing backslash is dropped", "A=x\\", {"A", "x", none}},
      {"a lone trailing backslash", "A=x,\\", {"A", "x", "", none}},
      {"unless it follows an escaped character", "A=\\,\\", {"A", ",\\", none}},
  };
  for (const Case& c : cases) EXPECT_EQ(split(c.line), c.tokens) << c.what << ": " << c.line;
}

TEST(FieldSplitterTest, AfterTheLastTokenEveryCallGivesNone) {
  FieldSplitter splitter("A=x");
  EXPECT_EQ(splitter.nextToken("="), "A");
  EXPECT_EQ(splitter.nextToken(","), "x");
  EXPECT_EQ(splitter.nextToken(","), std::nullopt);
  EXPECT_EQ(splitter.nextToken(","), std::nullopt);
}

TEST(EntryLineTest, ReadNumberScansLikePercentD) {
  const struct Case {
    std::optional<std::string> text;
    int number;  // 99, the value before, when there is none
  } cases[] = {{"12x", 12}, {"-3", -3}, {" 7", 7},          {"+5", 5},
               {"yes", 99}, {"", 99},   {std::nullopt, 99}, {"- 3", 99}};
  for (const Case& c : cases) {
    int v = 99;
    EXPECT_EQ(readNumber(c.text, &v), c.number != 99) << fieldText(c.text);
    EXPECT_EQ(v, c.number) << fieldText(c.text);
  }
}

TEST(EntryLineTest, AnAbsentFieldPrintsAsNull) {
  EXPECT_STREQ(fieldText(std::nullopt), "(null)");
  EXPECT_STREQ(fieldText(std::string("")), "");
  const std::optional<std::string> x = "x";
  EXPECT_STREQ(fieldText(x), "x");
}

}  // namespace
}  // namespace zv
