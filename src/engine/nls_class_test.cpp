#include "engine/engine_test_fixture.h"

namespace zv {
namespace {

// The catalog ends at a blank line, a comment (";" or "#") or a line that
// begins with "rem" in any case; a number out of range gives message 2.
TEST_F(EngineTest, TheCatalogEndsAtABlankCommentOrRemLine) {
  const std::pair<const char*, int> cases[] = {
      {"one\r\ntwo\r\nthree\r\n \t\r\nfive\r\n", 3},
      {"one\ntwo\n  ; note\nfour\n", 2},
      {"one\ntwo\n# note\nfour\n", 2},
      {"one\ntwo\nRemove this\nfour\n", 2},
      {"one\ntwo\nrem\nfour\n", 2},
      {"one\ntwo\nRe\nfour\n", 4},
      {"one\ntwo\nRxm\nfour\n", 4},
  };
  for (const auto& [text, count] : cases) {
    write("UPD.MSG", text);
    NLSClass nls(path("UPD.MSG"));
    std::string failure;
    ASSERT_EQ(nls.LoadCatalog(&failure), 1);
    EXPECT_EQ(nls.messageCount(), count) << text;
    EXPECT_EQ(nls.MessageText(1), "one");
    for (int outOfRange : {-1, 0, count + 1}) EXPECT_EQ(nls.MessageText(outOfRange), "two");
  }
}

}  // namespace
}  // namespace zv
