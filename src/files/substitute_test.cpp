#include "files/substitute.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "base/error.h"
#include "platform/testing/memory_platform.h"

namespace zv {
namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;
using Fault = MemoryPlatform::Fault;

SubstituteClass listOf(const Pairs& pairs, char escape = '\\') {
  SubstituteClass list(escape);
  for (const auto& [name, value] : pairs) EXPECT_EQ(list.addPair(name, value), 1);
  return list;
}

const Pairs kEngine = {{"ZEVRA", "C:\\PROD"}, {"WINDOWS", "C:\\WIN"}};

std::string substituted(SubstituteClass& list, std::string text) {
  list.substitute(text);
  return text;
}

TEST(SubstituteTest, ReplacesKeywordsAndCollapsesDoubledEscapes) {
  const Pairs newline = {{"n", "\n"}}, emptyName = {{"ZEVRA", "P"}, {"", "<>"}},
              rescan = {{"A", "\\ZEVRA\\\\"}, {"ZEVRA", "P"}},
              shortFirst = {{"WIN", "w"}, {"WINDOWS", "W"}},
              longFirst = {{"WINDOWS", "W"}, {"WIN", "w"}},
              wide = {{std::string(100, 'K'), std::string(300, 'v')}};
  const struct Case {
    const char* what;
    Pairs pairs;
    std::string text, want;
  } cases[] = {
      {"a keyword", kEngine, "\\ZEVRA\\A.DLL", "C:\\PROD\\A.DLL"},
      {"in any case", kEngine, "\\zevra", "C:\\PROD"},
      {"another keyword", kEngine, "\\WINDOWS\\SYSTEM\\B.DRV", "C:\\WIN\\SYSTEM\\B.DRV"},
      {"a prefix match", kEngine, "x\\WINDOWSX", "xC:\\WINX"},
      {"no whole keyword", kEngine, "\\ZEVR", "\\ZEVR"},
      {"a doubled escape collapses", kEngine, "\\\\ZEVRA", "\\ZEVRA"},
      {"a doubled escape, then a keyword", kEngine, "\\\\\\ZEVRA", "\\C:\\PROD"},
      {"two doubled escapes", kEngine, "\\\\\\\\ZEVRA", "\\\\ZEVRA"},
      {"an unknown name stays", kEngine, "\\OTHER", "\\OTHER"},
      {"a final escape stays", kEngine, "end\\", "end\\"},
      {"a final doubled escape collapses", kEngine, "end\\\\", "end\\"},
      {"a NUL is an ordinary byte", kEngine, std::string("a\\\\\0\\\\", 5),
       std::string("a\\\0\\", 4)},
      {"an empty list still collapses", {}, "a\\\\b\\c", "a\\b\\c"},
      {"catalog line breaks", newline, "Line1\\nLine2", "Line1\nLine2"},
      {"a line break before a word", newline, "\\Network", "\network"},
      {"a doubled escape before n", newline, "\\\\n", "\\n"},
      {"an empty name matches every undoubled escape", emptyName, "\\ZEVRA\\a\\\\b\\", "P<>a\\b<>"},
      {"inserted values are not rescanned", rescan, "\\A\\ZEVRA", "\\ZEVRA\\\\P"},
      {"the first matching pair wins", shortFirst, "\\WINDOWS", "wDOWS"},
      {"the first matching pair wins, the longer first", longFirst, "\\WINDOWS\\WIN", "Ww"},
      {"long names and values are kept whole", wide, "<\\" + std::string(100, 'K') + ">",
       "<" + std::string(300, 'v') + ">"},
      {"a long name needs all of it", wide, "\\" + std::string(99, 'K'),
       "\\" + std::string(99, 'K')},
  };
  for (const Case& c : cases) {
    SubstituteClass list = listOf(c.pairs);
    EXPECT_EQ(substituted(list, c.text), c.want) << c.what;
  }
  SubstituteClass percent = listOf({{"P", "\\"}}, '%');
  EXPECT_EQ(substituted(percent, "%p%%P\\%"), "\\%P\\%") << "another escape character";
}

class SubstituteFileTest : public ::testing::Test {
 protected:
  SubstituteFileTest() {
    mp().createDir(tempDir_);
    mp().temp = tempDir_;
  }

  MemoryPlatform& mp() { return tp_.platform(); }
  std::string path(const std::string& name) const { return tp_.scratchDir() + "\\" + name; }
  // The names in the scratch directory, then "|" and the TEMP directory's.
  std::string leftovers() { return mp().names(tp_.scratchDir()) + "|" + mp().names(tempDir_); }
  // The path of the first file opened in mode.
  std::string openedAs(FileMode mode) {
    for (const auto& o : mp().opened) {
      if (o.first == mode) return o.second;
    }
    return "<none>";
  }
  int substituteFile(const std::string& name) {
    mp().opened.clear();
    return listOf(kEngine).substituteInFile(path(name));
  }

  MemoryTestPlatform tp_;
  const std::string tempDir_ = tp_.scratchDir() + "\\TMP";
};

TEST_F(SubstituteFileTest, AFailureLeavesTheFileAsItWas) {
  const std::string temp = "\\TMP\\";
  const struct Case {
    Fault fault;
    int code;        // of the Error raised; 0: none, the call returns 0
    bool namesTemp;  // else the message is the target
  } cases[] = {{{Fault::kOpen, temp}, 20, true},
               {{Fault::kGetStamp, temp}, 28, true},
               {{Fault::kRead, temp}, 24, true},
               {{Fault::kWrite, "\\ZS", FileMode::kCreateNew, 1}, 23, false},
               {{Fault::kSetStamp, "\\ZS", FileMode::kCreateNew}, 27, false},
               {{Fault::kOpen, temp, FileMode::kWrite}, 0, false},
               {{Fault::kWrite, temp, FileMode::kWrite}, 0, false},
               {{Fault::kOpen, "\\ZS", FileMode::kCreateNew}, 0, false},
               {{Fault::kRename, "\\ZS"}, 0, false},
               {{Fault::kUniqueName, "\\ZS"}, 0, false}};
  EXPECT_EQ(substituteFile("NONE.TXT"), 0);
  EXPECT_EQ(openedAs(FileMode::kWrite), "<none>") << "nothing is made for a missing file";
  const std::string original = "keep \\ZEVRA\r\n";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault.kind);
    mp().write(path("F.TXT"), original);
    mp().faults = {c.fault};
    try {
      EXPECT_EQ(substituteFile("F.TXT"), 0);
      EXPECT_EQ(c.code, 0) << "no Error";
    } catch (const Error& e) {
      EXPECT_EQ(e.code, c.code);
      EXPECT_EQ(e.message, c.namesTemp ? openedAs(FileMode::kWrite) : path("F.TXT"));
    }
    mp().faults.clear();
    EXPECT_EQ(mp().read(path("F.TXT")), original);
    EXPECT_EQ(leftovers(), "F.TXT TMP |");
  }
}

}  // namespace
}  // namespace zv
