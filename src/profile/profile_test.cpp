#include "profile/profile.h"

#include <gtest/gtest.h>

#include <functional>

#include "base/error.h"
#include "platform/testing/memory_platform.h"

namespace zv {
namespace {

using Lines = std::vector<std::string>;

// "a|b" is the lines a and b; "" is no lines.
Lines split(const std::string& text) {
  Lines out;
  for (size_t start = 0, bar = 0; !text.empty() && bar != std::string::npos; start = bar + 1) {
    bar = text.find('|', start);
    out.push_back(text.substr(start, bar - start));
  }
  return out;
}

// The bytes a save writes for these lines, or (foreign) another program's
// file: LF line ends and no 0x1A, so that a rewrite shows.
std::string bytesOf(const Lines& lines, bool foreign = false) {
  std::string out;
  for (const std::string& line : lines) out += line + (foreign ? "\n" : "\r\n");
  return foreign ? out : out + "\x1A";
}

Lines linesOf(const Profile& p) {
  Lines out;
  for (size_t n = 1; n <= p.lineCount(); ++n) out.push_back(*p.getLine(n));
  return out;
}

class ProfileTest : public ::testing::Test {
 protected:
  MemoryPlatform& p() { return tp_.platform(); }
  std::string path(const std::string& name) { return tp_.scratchDir() + "\\" + name; }
  size_t opens(FileMode mode) {
    size_t n = 0;
    for (const auto& o : p().opened) n += o.first == mode;
    return n;
  }

  MemoryTestPlatform tp_;
};

TEST_F(ProfileTest, QueriesFollowTheReadingRules) {
  p().write(path("R.INI"), bytesOf(split("[Patch] ; note|LogFileName=x|LogFile = trace.log|"
                                         "   Debug=x|Force=1x|Empty=|Neg=-42|Yes=yes|  [Sec]|"
                                         "After=3|[patch]|Second=2|[Other]|Z=9"),
                                   true));
  Profile profile(path("R.INI"), Profile::kFileMode);
  EXPECT_EQ(profile.findSection("patch"), 0) << "the first header";
  EXPECT_EQ(profile.findSection("Sec"), -1) << "an indented header is not found";
  EXPECT_EQ(profile.sectionExists("PATCH"), 1) << "by the later exact [patch]";
  EXPECT_EQ(profile.sectionExists("Sec"), 0);
  // section|key|value
  for (const char* row : {"Patch|LogFile| trace.log", "PATCH|debug|x", "Patch|Empty|",
                          "Patch|After|3", "Patch|Second|def", "Patch|Z|def", "Sec|After|def"}) {
    const Lines s = split(row);
    EXPECT_EQ(profile.getString(s[0], s[1], "def"), s[2]) << row;
  }
  for (const auto& [key, value] : std::vector<std::pair<const char*, int>>{
           {"Force", 1}, {"Empty", -7}, {"Neg", -42}, {"Yes", -7}, {"Missing", -7}}) {
    EXPECT_EQ(profile.getInt("Patch", key, -7), value) << key;
    EXPECT_EQ(profile.getLong("Patch", key, -7L), value) << key;
  }
  EXPECT_EQ(Profile("Software\\ZEVRA.INI", Profile::kRegistryMode).getInt("S", "K", -1), -1)
      << "numbers are read from files only";
}

// Each edit runs on a file-backed and on an in-memory profile.
TEST_F(ProfileTest, EditsChangeOnlyWhatTheyMustAndWriteThrough) {
  struct Case {
    std::string before;  // lines joined by "|"
    std::function<void(Profile&)> edit;
    std::string after;
    bool dirty = true;  // else only saved
  };
  auto set = [](const char* s, const char* k, const char* v) {
    return [=](Profile& p) { p.setValue(s, k, v); };
  };
  auto add = [](const char* k, const char* v, bool unique) {
    return [=](Profile& p) { p.addEntry("R", k, v, unique); };
  };
  auto after = [](const char* prefix) {
    return [=](Profile& p) { p.insertLineAfter("c", prefix); };
  };
  const std::vector<Case> cases = {
      {"[A]|X=1|Y=2", set("A", "x", "9"), "[A]|x=9|Y=2"},
      {"[A]|[B]", set("A", "Y", "2"), "[A]|Y=2|[B]"},
      {"[A]|X=1|  [S]|Y=1", set("A", "Y", "2"), "[A]|X=1|Y=2|  [S]|Y=1"},
      {"[A]|X=1| [S]|Z=1", set("A", nullptr, nullptr), " [S]|Z=1"},
      {"[A]", set("N", nullptr, nullptr), "[A]"},
      {"[R]|A=1||[S]",
       [](Profile& p) {
         p.addEntries("R", {{"NUL", "b"}, {"b", "a"}});
       },
       "[R]|A=1|NUL=b|b=a||[S]"},
      {"[R]|A=1|||[S]", add("B", "2", false), "[R]|A=1|B=2|||[S]"},
      {"[R]|||[S]", add("B", "2", false), "[R]|B=2|||[S]"},
      {"[R]|NUL=C:\\A", add("nul", "c:\\a", true), "[R]|NUL=C:\\A", false},  // kept
      {"[R]|[S]|nul=A", add("NUL", "A", true), "[R]|[S]|nul=A", false},
      {"NUL=A|[R]", add("NUL", "A", true), "NUL=A|[R]|NUL=A"},
      {"a|b1|x|b2|y", after("b"), "a|b1|x|b2|c|y", false},
      {"a|b1|x|b2|y", after("B"), "c|a|b1|x|b2|y", false},  // the prefix with its case
      {"a", after(nullptr), "c|a", false},
      {"a", after(""), "c|a", false},
      {"a", [](Profile& p) { p.insertFirstLine("c"); }, "c|a", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.before + " -> " + c.after);
    const Lines before = split(c.before), lines = split(c.after);
    const bool kept = !c.dirty && c.before == c.after;
    p().write(path("E.INI"), bytesOf(before, true));
    {
      Profile profile(path("E.INI"), Profile::kFileMode);
      c.edit(profile);
      EXPECT_EQ(linesOf(profile), lines);
      EXPECT_EQ(profile.dirty(), c.dirty ? 1u : 0u);
      EXPECT_EQ(p().read(path("E.INI")), bytesOf(kept ? before : lines, kept));
    }
    Profile memory("", Profile::kFileMode);
    for (const std::string& line : before) memory.appendLine(line);
    c.edit(memory);
    EXPECT_EQ(linesOf(memory), lines);
  }
  EXPECT_EQ(p().names(tp_.scratchDir()), "E.INI ") << "no new file left behind";
}

}  // namespace
}  // namespace zv
