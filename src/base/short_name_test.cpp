#include "base/short_name.h"

#include <gtest/gtest.h>

#include <set>

namespace zv {
namespace {

TEST(ShortNameTest, AliasesAsWindows95FormsThem) {
  std::set<std::string> taken;
  auto form = [&](const std::string& name) {
    std::string alias = formShortName(name, [&](const std::string& a) { return taken.count(a); });
    taken.insert(alias);
    return alias;
  };
  // Ten names with the same first six characters.
  for (int i = 1; i <= 9; ++i)
    EXPECT_EQ(form("Program Files " + std::to_string(i)), "PROGRA~" + std::to_string(i));
  EXPECT_EQ(form("Program Files 10"), "PROGR~10");
  // Blanks, dots, lower case, long extensions, characters no short name has.
  EXPECT_EQ(form("Zevra Help.html"), "ZEVRAH~1.HTM");
  EXPECT_EQ(form("my.long.name.txt"), "MYLONG~1.TXT");
  EXPECT_EQ(form("a+b=c.dat"), "A_B_C~1.DAT");
  EXPECT_EQ(form(".profile"), "PROFIL~1");
  EXPECT_EQ(form("readme.txt"), "README.TXT") << "a short name in lower case keeps its name";
  EXPECT_EQ(form("ReadMe.TXT"), "README~1.TXT") << "unless that is taken";
}

}  // namespace
}  // namespace zv
